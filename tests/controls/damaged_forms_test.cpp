// Damaged form streams kept as regression inputs: each is refused with the reader's error and leaves the
// form it was read into as it was.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "controls/base.h"
#include "controls/meter.h"
#include "controls/styled_label.h"
#include "support/temp_dir.h"
#include "tk/exception.h"
#include "tk/filer.h"

namespace {

using namespace controls;

QJsonObject ReadStream(const std::string& name) {
  const std::string bytes = testing_support::ReadFile(std::string(ZELTA_TEST_DATA_DIR) + "/damaged/" + name);
  return QJsonDocument::fromJson(QByteArray::fromStdString(bytes)).object();
}

class DamagedForms : public testing::TestWithParam<std::pair<const char*, const char*>> {
 protected:
  static void SetUpTestSuite() {
    RegisterBaseClasses();
    tk::RegisterClass("TVxMeter", [](tk::Component* owner) { return new TVxMeter(owner); });
    tk::RegisterClass("TVxLabel", [](tk::Component* owner) { return new TVxLabel(owner); });
  }
};

TEST_P(DamagedForms, AreRefusedWithTheReadersErrorAndLeaveTheFormAsItWas) {
  const auto [file, message] = GetParam();
  tk::Form form;
  auto* kept = new TVxMeter(&form);
  kept->SetName("Kept");
  kept->SetPercent(40);
  try {
    tk::Reader().ReadRoot(ReadStream(file), &form);
    FAIL() << file << " was read";
  } catch (const tk::EReadError& e) {
    EXPECT_EQ(e.Message(), message) << file;
  }
  ASSERT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.Components(0), kept);
  EXPECT_EQ(kept->Percent(), 40);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, DamagedForms,
    testing::Values(std::pair{"form-geometry-int-overflow.json", "Control bounds out of range"},
                    std::pair{"form-wrong-type-bad_variant_published.json", "Invalid property value"},
                    std::pair{"form-wrong-type-bad_variant_reference.json", "Invalid property value"},
                    std::pair{"form-wrong-type-bad_variant_string.json", "Invalid property value"},
                    std::pair{"form-wrong-type-enum_int.json", "Invalid property value"}));

TEST(DamagedFormsRepaired, TheSameStreamsWithSoundValuesRead) {
  // The refusals above are the values', not the classes': mended, each stream reads.
  RegisterBaseClasses();
  tk::RegisterClass("TVxMeter", [](tk::Component* owner) { return new TVxMeter(owner); });
  tk::Form form;
  QJsonObject meter = ReadStream("form-wrong-type-enum_int.json");
  meter["Properties"] =
      QJsonArray{QJsonArray{"Orientation", "Ident", "moVertical"}, QJsonArray{"Percent", "Integer", 7}};
  auto* read = dynamic_cast<TVxMeter*>(tk::Reader().ReadRoot(meter, &form));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Orientation(), TMeterOrientation::moVertical);
  EXPECT_EQ(read->Percent(), 7);

  QJsonObject label = ReadStream("form-geometry-int-overflow.json");
  label["Properties"] = QJsonArray{QJsonArray{"Left", "Integer", 2000}};
  EXPECT_EQ(dynamic_cast<tk::CustomLabel*>(tk::Reader().ReadRoot(label, &form))->Left(), 2000);
}

TEST(DamagedFormsRepaired, AnUnknownEnumerationNameIsRefused) {
  tk::RegisterClass("TVxMeter", [](tk::Component* owner) { return new TVxMeter(owner); });
  tk::Form form;
  QJsonObject meter = ReadStream("form-wrong-type-enum_int.json");
  meter["Properties"] = QJsonArray{QJsonArray{"Orientation", "Ident", "moDiagonal"}};
  EXPECT_THROW(tk::Reader().ReadRoot(meter, &form), tk::EReadError);
  EXPECT_EQ(form.ComponentCount(), 0);
}

}  // namespace
