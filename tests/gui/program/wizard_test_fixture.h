#pragma once
// The editor with the real Control Wizard hooked in, over a System Map holding one module of every type in
// slots 1 to 12 (the same project as the line codec's tests, so the texts are the codec's golden texts).
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "editor_test_fixture.h"
#include "gui/program/wizard_form.h"
#include "gui/program/wizard_panel.h"
#include "project/name_table.h"
#include "support/user_input.h"

namespace wizard_test {

inline std::uint16_t W0(int function, int kind, int sub = 0) {
  return static_cast<std::uint16_t>(function << 10 | kind << 5 | sub);
}

class WizardTest : public editor_test::EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    using project::ModuleType;
    const int first = SysConfig->Tree.LastLocalIndex() + 1;
    const ModuleType types[] = {ModuleType::Kado16,       ModuleType::Kado16I, ModuleType::Kado16Ir,
                                ModuleType::Pelko,        ModuleType::Murmex,  ModuleType::LurcanT,
                                ModuleType::LurcanA,      ModuleType::LurcanC, ModuleType::SlaveMarvik,
                                ModuleType::SlaveTessaro, ModuleType::LurcanH, ModuleType::LurcanL};
    // Highest slot first, so the positions of the lower, still empty slots do not move.
    for (int slot = 12; slot >= 1; --slot) SysConfig->Tree.AddModule(first + slot - 1, types[slot - 1]);
    SysConfig->RefreshNames();
    form = std::make_unique<TWizard>(editor.get());
    Wizard = form.get();
    Ui().Clear();
  }
  void TearDown() override {
    form.reset();
    EditorTest::TearDown();
  }

  // The double click on line n's Program Text cell.
  void Open(int n) {
    editor->SetCurrentCell(n, 1);
    editor->StringGrid1DblClick();
  }
  // A user's pick in a drop-down list.
  static void Pick(QComboBox* list, int index) {
    ASSERT_NE(list, nullptr);
    ASSERT_LT(index, list->count());
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  static void Click(program::WizardRadioGroup* group, int index) {
    ASSERT_NE(group, nullptr);
    ASSERT_NE(group->Button(index), nullptr) << group->title().toStdString() << " " << index;
    testing_support::Click(group->Button(index));
  }
  program::WizardPanel* P() const { return form->CurrentPanel(); }
  program::Panel Shown() const { return P() ? P()->Id() : program::Panel::None; }
  ProgramLine At(int n) { return Store().Lines[n]; }

  std::unique_ptr<TWizard> form;
};

}  // namespace wizard_test
