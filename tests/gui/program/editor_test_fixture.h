#pragma once
// The editor window with a System Map beside it over one project, in a directory of its own, with the communications
// side and the Control Wizard replaced by recording fakes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <memory>
#include <string>
#include <vector>

#include "gui/comms_link.h"
#include "gui/editor_links.h"
#include "gui/program/editor_form.h"
#include "gui/project/sys_config.h"
#include "platform/paths.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "workspace/project.h"

namespace editor_test {

class FakeComms : public gui::DetachedCommsLink {
 public:
  bool ReadConfigFile() override {
    ++Reads;
    return ReadSucceeds;
  }
  std::string CurrentDirectory() const override { return Directory; }
  void Attach() override { ++Attaches; }
  void ShowDownloadProject() override { ++Downloads; }
  void ShowSetup() override { ++Setups; }
  bool CommsDetail() const override { return Detail; }
  std::string EndQuestion(bool exit) const override { return exit ? ExitQuestion : AttachQuestion; }

  bool ReadSucceeds = true;
  // What an attach, and the program's end, ask before they end what runs.
  std::string AttachQuestion, ExitQuestion;
  bool Detail = false;
  std::string Directory;
  int Reads = 0, Attaches = 0, Downloads = 0, Setups = 0;
};

class FakeWizard : public gui::WizardLink {
 public:
  void OpenLine(int line, const std::string& caption, int height) override {
    Opened.push_back(line);
    Caption = caption;
    Height = height;
    Visible = true;
  }
  void Hide() override { Visible = false; }
  void Show() override { Visible = true; }
  void ShowLine(int) override { Visible = true; }

  std::vector<int> Opened;
  std::string Caption;
  int Height = 0;
  bool Visible = false;
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDir_ = platform::CurrentDir();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    sysConfig = std::make_unique<TSysConfig>(project);
    SysConfig = sysConfig.get();
    editor = std::make_unique<TEditorForm>(project);
    EditorForm = editor.get();
    comms.Directory = dir.Path().string();
    editor->SetCommsLink(&comms);
    editor->SetWizardLink(&wizard);
    Ui().Clear();  // the System Map's start-up beep
  }
  void TearDown() override {
    editor.reset();
    sysConfig.reset();
    SysConfig = nullptr;
    EditorForm = nullptr;
    ASSERT_EQ(::chdir(previousDir_.c_str()), 0);
  }

  static testing_support::ScriptedUi& Ui() { return testing_support::TestUi(); }
  ProgramStore& Store() { return editor->Store; }
  const std::string& Text(int n) { return editor->Listing->Text(n); }
  const std::string& CommentCell(int n) { return editor->Listing->Comment(n); }

  // A small program: IF Variable, THEN Skip To, a comment or two, END.
  void LoadSmallProgram() {
    auto& s = Store();
    s.Lines[1] = ProgramLine{static_cast<std::uint16_t>(FunctionIf << 10 | 5 << 5), 3, 10};
    s.Comments[1] = "check the counter";
    s.Lines[2] = ProgramLine{static_cast<std::uint16_t>(FunctionThen << 10 | KindSkipTo << 5), 0, 3};
    s.Lines[3] = ProgramLine{static_cast<std::uint16_t>(FunctionElse << 10 | 5 << 5), 4, 1};
    s.Comments[3] = "reset";
    s.Lines[5] = ProgramLine::End();
    editor->UpdateListing();
  }

  testing_support::TempDir dir;
  workspace::Project project;
  FakeComms comms;
  FakeWizard wizard;
  std::unique_ptr<TSysConfig> sysConfig;
  std::unique_ptr<TEditorForm> editor;

 private:
  std::string previousDir_;
};

}  // namespace editor_test
