// The X10 lists of the communications window keep their newest lines as its log does, and the module
// parameter password shows a star for each character typed.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include "controller/engine_fixture.h"
#include "gui/controller/comms_form.h"
#include "gui/controller/parameter_form.h"
#include "support/temp_dir.h"
#include "support/user_input.h"

namespace {

class CommsWindowTest : public ::testing::Test {
 protected:
  testing_support::ScopedConfigDir config;
  controller::test::FakeProject project;
  controller::test::FixedClock clock;
  TCommsForm comms{project, clock};
};

TEST_F(CommsWindowTest, TheX10ListsKeepTheirNewestLines) {
  for (controller::CommsList which : {controller::CommsList::X10Activity, controller::CommsList::X10Events}) {
    QListWidget list;
    comms.AttachList(which, &list);
    for (int i = 0; i < controller::MaxLogLines + 3; ++i) comms.AddListLine(which, "X10 " + std::to_string(i));
    ASSERT_EQ(list.count(), controller::MaxLogLines);
    EXPECT_EQ(list.item(0)->text().toStdString(), "X10 " + std::to_string(controller::MaxLogLines + 2));
    EXPECT_EQ(list.item(controller::MaxLogLines - 1)->text(), "X10 3");
    comms.AttachList(which, nullptr);
  }
}

TEST_F(CommsWindowTest, TheModuleParameterPasswordShowsAStarForEachCharacter) {
  TParameterForm parameters(*comms.Engine);
  parameters.show();
  parameters.Edit1->setFocus();
  testing_support::Type(parameters.Edit1, "1234");
  EXPECT_EQ(parameters.Edit1->text(), "1234");
  EXPECT_EQ(parameters.Edit1->displayText(), "****");
  EXPECT_TRUE(testing_support::Shoot(&parameters, "zelta_module_parameter_password.png"));
}

}  // namespace
