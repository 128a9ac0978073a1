#include "controls/entry_field.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

#include "controls/controller.h"
#include "controls/entry_field_numeric.h"
#include "controls/entry_field_picture.h"
#include "controls/entry_field_simple.h"
#include "controls/exceptions.h"
#include "controls/intl_support.h"
#include "platform/text.h"
#include "support/scripted_ui.h"
#include "support/user_input.h"
#include "tk/filer.h"
#include "tk/platform_caret.h"
#include "tk/virtual_keys.h"

namespace {

using namespace controls;
using testing_support::TestUi;

// A key as the keyboard sends it: Control with a letter carries its control character.
void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QString text;
  if ((modifiers & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) text = QChar(key - Qt::Key_A + 1);
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QApplication::sendEvent(target, &release);
}

// Typing with a few named keys: <L> <R> <H> <E> <B> <D> <I>, Shift: <SL> <SR> <SH> <SE>, Control: <CL> <CR>.
void Keys(QWidget* target, const std::string& script) {
  static const std::pair<const char*, std::pair<int, Qt::KeyboardModifiers>> kNamed[] = {
      {"<L>", {Qt::Key_Left, Qt::NoModifier}},        {"<R>", {Qt::Key_Right, Qt::NoModifier}},
      {"<H>", {Qt::Key_Home, Qt::NoModifier}},        {"<E>", {Qt::Key_End, Qt::NoModifier}},
      {"<B>", {Qt::Key_Backspace, Qt::NoModifier}},   {"<D>", {Qt::Key_Delete, Qt::NoModifier}},
      {"<I>", {Qt::Key_Insert, Qt::NoModifier}},      {"<SL>", {Qt::Key_Left, Qt::ShiftModifier}},
      {"<SR>", {Qt::Key_Right, Qt::ShiftModifier}},   {"<SH>", {Qt::Key_Home, Qt::ShiftModifier}},
      {"<SE>", {Qt::Key_End, Qt::ShiftModifier}},     {"<CL>", {Qt::Key_Left, Qt::ControlModifier}},
      {"<CR>", {Qt::Key_Right, Qt::ControlModifier}}, {"<U>", {Qt::Key_Up, Qt::NoModifier}},
      {"<DN>", {Qt::Key_Down, Qt::NoModifier}}};
  for (std::size_t i = 0; i < script.size();) {
    bool named = false;
    for (const auto& [name, key] : kNamed) {
      if (script.compare(i, std::strlen(name), name) != 0) continue;
      Press(target, key.first, key.second);
      i += std::strlen(name);
      named = true;
      break;
    }
    if (named) continue;
    testing_support::Type(target, QString(QChar(static_cast<unsigned char>(script[i]))));
    ++i;
  }
  QApplication::processEvents();
}

class EntryField : public ::testing::Test {
 protected:
  EntryField() {
    Intl.ShortDatePicture = "mm/dd/yyyy";
    Intl.SlashChar = '/';
    Intl.DecimalChar = '.';
    Intl.CommaChar = ',';
    Intl.LeadingZeroHour = true;
    Intl.TwelveHour = false;
    Intl.TrueChar = 'T';
    Intl.FalseChar = 'F';
    Intl.YesChar = 'Y';
    Intl.NoChar = 'N';
    Form.resize(320, 240);
    Controller = new TVxController(&Form);
    Field = Make<TVxSimpleField>(10);
    Other = Make<TVxSimpleField>(50);
    Start = new QPushButton("Start", &Form);
    Start->setGeometry(230, 10, 80, 25);
  }
  // The fields start without the focus: the window gives it to the button.
  void SetUp() override {
    Form.show();
    QApplication::processEvents();
    Focus(Start);
    QApplication::clipboard()->clear();
  }
  template <class T>
  T* Make(int top) {
    auto* f = new T(&Form);
    f->SetIntlSupport(&Intl);
    f->SetBounds(10, top, 200, 25);
    if (Form.isVisible()) f->show();
    return f;
  }
  static void Focus(QWidget* w) {
    w->setFocus();
    QApplication::processEvents();
  }
  // Tab from whatever has the focus, as the user presses it.
  static void Tab() {
    Press(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::processEvents();
  }
  static QColor PixelAt(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }

  TVxIntlSup Intl;
  tk::Form Form;
  TVxController* Controller;
  TVxSimpleField* Field;
  TVxSimpleField* Other;
  QPushButton* Start;
};

// ---- editing by keys

struct Edit {
  const char* Script;
  const char* Text;
};

class EntryFieldKeys : public EntryField, public ::testing::WithParamInterface<Edit> {};

TEST_P(EntryFieldKeys, EditTheText) {
  Focus(Field);
  Keys(Field, GetParam().Script);
  EXPECT_EQ(Field->GetEditString(), GetParam().Text) << GetParam().Script;
}

INSTANTIATE_TEST_SUITE_P(Table, EntryFieldKeys,
                         ::testing::Values(Edit{"abc<L><L>X", "aXbc"}, Edit{"abc<I><H>XY", "XYc"},
                                           Edit{"abc<B><B>", "a"}, Edit{"abc<H><D>", "bc"},
                                           Edit{"abcdef<SL><SL>X", "abcdX"}, Edit{"abc def<CL><B>", "abcdef"},
                                           Edit{"one two<H><CR>X", "one Xtwo"}, Edit{"abc<SH><D>", ""},
                                           Edit{"abc<H><SR><SR><SE><SL>Z", "Zc"}, Edit{"<B><D><L>", ""}));

TEST_F(EntryField, TheTextStopsAtMaxLengthWithABeep) {
  Focus(Field);
  Keys(Field, "abcdefghijklmnopqrs");
  EXPECT_EQ(Field->GetEditString(), "abcdefghijklmno");
  EXPECT_EQ(TestUi().Beeps(), 4);
}

TEST_F(EntryField, TheMaskRefusesAndRecasesTypedCharacters) {
  Field->SetPictureMaskChar('!');
  Other->SetDataType(fsubWord);
  Focus(Field);
  Keys(Field, "ab1");
  Focus(Other);
  Keys(Other, "4x2");
  EXPECT_EQ(Field->GetEditString(), "AB1");
  EXPECT_EQ(Other->GetEditString(), "42");
  EXPECT_EQ(TestUi().Beeps(), 1);
  EXPECT_THROW(Field->SetPictureMaskChar('d'), EInvalidPictureMask);  // date letters are not a simple field's
}

TEST_F(EntryField, AReadOnlyFieldBeepsAtEveryChangeButStillCopies) {
  Field->SetAsStringValue("fixed");
  Field->SetOptions(Field->Options() | efoReadOnly);
  Focus(Field);
  Field->SetSelection(0, 3);
  QApplication::clipboard()->setText("pasted");
  Keys(Field, "x<B><D>");
  Press(Field, Qt::Key_V, Qt::ControlModifier);
  Press(Field, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(Field->GetEditString(), "fixed");
  EXPECT_EQ(TestUi().Beeps(), 5);
  Press(Field, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "fix");
}

TEST_F(EntryField, ForcedOvertypeIgnoresTheInsertKey) {
  Field->SetOptions(Field->Options() | efoForceOvertype);
  Focus(Field);
  Keys(Field, "abc<H><I>XY");
  EXPECT_EQ(Field->GetEditString(), "XYc");
  EXPECT_TRUE(Controller->InsertMode());  // the shared mode was not toggled
}

TEST_F(EntryField, UndoRestoresTheTextOnEntryAndSelectsIt) {
  Field->SetAsStringValue("start");
  Focus(Field);
  Keys(Field, "<E>ed");
  ASSERT_TRUE(Field->Modified());
  Press(Field, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Field->GetEditString(), "start");
  EXPECT_EQ(Field->GetSelStart(), 0);
  EXPECT_EQ(Field->GetSelEnd(), 5);
  EXPECT_FALSE(Field->Modified());
}

TEST_F(EntryField, AControlCharacterIsTakenLiterallyAfterCtrlP) {
  Controller->EntryCommands().GetCommandTable("WordStar")->SetIsActive(true);
  Focus(Field);
  Keys(Field, "a");
  Press(Field, Qt::Key_P, Qt::ControlModifier);
  Press(Field, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Field->GetEditString(), std::string("a\x01"));
  EXPECT_EQ(Field->GetDisplayString(), "aA");
  Field->SelectAll();
  Field->CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), QString("a\x01"));
}

TEST_F(EntryField, SelectionRulesAndTheirMessages) {
  Field->SetAsStringValue("abcdef");
  Field->SetSelection(1, 3);
  Field->SetSelection(5, 2);  // an end before the start changes nothing
  EXPECT_EQ(Field->GetSelText(), "bc");
  Field->SetSelection(0, 1000);
  EXPECT_EQ(Field->GetSelLength(), 6);
  tk::SendMessage(*Field, EM_SETSEL, 65535, 0);
  EXPECT_EQ(Field->GetSelLength(), 0);
  tk::SendMessage(*Field, EM_SETSEL, 0, 65535);
  std::uint32_t start = 9, end = 9;
  const std::intptr_t packed = tk::SendMessage(*Field, EM_GETSEL, reinterpret_cast<std::uintptr_t>(&start),
                                               reinterpret_cast<std::intptr_t>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 6u);
  EXPECT_EQ(packed, 6 << 16);
  tk::SendMessage(*Field, EM_SETMODIFY, 1);
  EXPECT_TRUE(Field->EverModified());
  tk::SendMessage(*Field, EM_SETMODIFY, 0);
  EXPECT_EQ(tk::SendMessage(*Field, EM_GETMODIFY), 0);
  EXPECT_TRUE(Field->EverModified());
  EXPECT_EQ(tk::SendMessage(*Field, OM_GETDATASIZE), 16);
}

TEST_F(EntryField, ClipboardCutCopyAndPaste) {
  Field->SetPictureMaskChar('9');
  Focus(Field);
  Keys(Field, "12345");
  QApplication::clipboard()->setText("kept");
  Field->CutToClipboard();  // nothing selected: nothing taken
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");
  Keys(Field, "<SL><SL>");
  Field->CutToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), "45");
  EXPECT_EQ(Field->GetEditString(), "123");
  QApplication::clipboard()->setText("7x8");
  Keys(Field, "<H>");
  Field->PasteFromClipboard();
  EXPECT_EQ(Field->GetEditString(), "78123");
  EXPECT_EQ(TestUi().Beeps(), 1);  // the letter was refused
  QApplication::clipboard()->setText(QString::fromUtf8("9\u20AC"));
  Field->PasteFromClipboard();  // a character outside 8 bits refuses the whole text
  EXPECT_EQ(Field->GetEditString(), "78123");
  EXPECT_EQ(TestUi().Beeps(), 2);
}

TEST_F(EntryField, TheContextMenuOffersWhatTheFieldAllows) {
  Field->SetAsStringValue("locked text");
  Field->SetOptions(Field->Options() | efoReadOnly);
  Focus(Field);
  Field->SetSelection(0, 6);
  testing_support::Mouse(Field, QEvent::MouseButtonPress, {20, 10}, Qt::RightButton);
  testing_support::Mouse(Field, QEvent::MouseButtonRelease, {20, 10}, Qt::RightButton);
  QMenu* menu = Field->ContextMenu();
  ASSERT_NE(menu, nullptr);
  std::vector<std::pair<std::string, bool>> items;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) items.emplace_back(a->text().toStdString(), a->isEnabled());
  EXPECT_EQ(items, (std::vector<std::pair<std::string, bool>>{{"&Restore", false},
                                                              {"Cu&t", false},
                                                              {"&Copy", true},
                                                              {"&Paste", false},
                                                              {"&Delete", false},
                                                              {"Select &All", true}}));
  menu->actions()[3]->trigger();  // Copy
  EXPECT_EQ(QApplication::clipboard()->text(), "locked");
  menu->close();
}

// ---- focus and validation

TEST_F(EntryField, ARequiredEmptyFieldHoldsTheFocusAndReportsOnce) {
  Field->SetOptions(Field->Options() | efoInputRequired);
  Focus(Field);
  Press(QApplication::focusWidget(), Qt::Key_Tab);
  Press(QApplication::focusWidget(), Qt::Key_Tab);  // a second Tab before the focus is back: no second message
  QApplication::processEvents();
  EXPECT_TRUE(Field->hasFocus());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"A value is required in this field"});
  EXPECT_EQ(Field->LastError(), oeRequiredField);
  Keys(Field, "ok");
  Tab();
  EXPECT_TRUE(Other->hasFocus());
  EXPECT_EQ(TestUi().Messages().size(), 1u);
}

TEST_F(EntryField, AReadOnlyRequiredFieldMayBeLeft) {
  Field->SetOptions(Field->Options() | efoInputRequired | efoReadOnly);
  Focus(Field);
  Tab();
  EXPECT_TRUE(Other->hasFocus());
  EXPECT_TRUE(TestUi().Messages().empty());
}

TEST_F(EntryField, AnUninitializedFieldCountsAsEmptyUntilEdited) {
  Field->SetAsStringValue("shown");
  Field->SetOptions(Field->Options() | efoInputRequired);
  Field->SetUninitialized(true);
  EXPECT_EQ(Field->ValidateContents(false), oeRequiredField);
  Focus(Field);
  Keys(Field, "!");
  Tab();
  EXPECT_TRUE(Other->hasFocus());
  EXPECT_FALSE(Field->Uninitialized());
}

TEST_F(EntryField, SoftValidationLetsAnInvalidFieldGoAndMarksIt) {
  Field->SetDataType(fsubInteger);
  Field->SetOptions(Field->Options() | efoSoftValidation);
  Focus(Field);
  Keys(Field, "99999");
  Tab();
  EXPECT_TRUE(Other->hasFocus());
  EXPECT_FALSE(Field->IsValid());
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_EQ(PixelAt(Field, 180, 12), QColor(Qt::red));  // the error colours
  Field->SetAsInteger(5);                               // a value from the program clears the mark
  EXPECT_TRUE(Field->IsValid());
  EXPECT_NE(PixelAt(Field, 180, 12), QColor(Qt::red));
}

TEST_F(EntryField, ErrorCodesChooseTheirMessages) {
  std::uint16_t code = 300;
  Field->OnUserValidation = [&](tk::Component*, std::uint16_t& c) { c = code; };
  Controller->SetErrorText("Part number unknown");
  EXPECT_EQ(Field->ValidateContents(true), 300);
  QApplication::processEvents();
  code = 40000;
  Field->ValidateContents(true);
  QApplication::processEvents();
  EXPECT_EQ(TestUi().Messages(), (std::vector<std::string>{"Entry Error", "Entry Error"}));
  // The controller's text is the last message shown: a user code repeats it.
  std::vector<std::pair<std::uint16_t, std::string>> seen;
  Field->OnError = [&](tk::Component*, std::uint16_t c, const std::string& m) { seen.emplace_back(c, m); };
  Controller->SetErrorText("Part number unknown");
  Field->ValidateContents(true);
  QApplication::processEvents();
  EXPECT_EQ(seen, (std::vector<std::pair<std::uint16_t, std::string>>{{40000, "Part number unknown"}}));
}

TEST_F(EntryField, AHiddenFieldIsNotChecked) {
  int checks = 0;
  Field->OnUserValidation = [&](tk::Component*, std::uint16_t&) { ++checks; };
  Field->hide();
  EXPECT_EQ(Field->ValidateContents(true), 0);
  EXPECT_EQ(checks, 0);
}

TEST_F(EntryField, LeavingForASpecialControlReportsNothing) {
  auto* cancel = new QPushButton("Cancel", &Form);
  cancel->setGeometry(10, 90, 80, 25);
  cancel->show();
  Controller->OnIsSpecialControl = [&](tk::Component*, QWidget* c, bool& special) { special = c == cancel; };
  Field->SetOptions(Field->Options() | efoInputRequired);
  Focus(Field);
  Focus(cancel);
  EXPECT_TRUE(cancel->hasFocus());
  EXPECT_TRUE(TestUi().Messages().empty());
  EXPECT_EQ(Field->ValidateContents(false), oeRequiredField);  // still owed
}

TEST_F(EntryField, TheControllerFindsAnInvalidField) {
  Other->SetDataType(fsubByte);
  Other->SetAsStringValue("12");
  Other->SetRangeHiStr("10");
  EXPECT_EQ(Controller->ValidateEntryFields(), Other);
  QApplication::processEvents();
  EXPECT_TRUE(Other->hasFocus());
  EXPECT_EQ(TestUi().Messages(), std::vector<std::string>{"Value is not within required range"});
}

TEST_F(EntryField, EditingFiresOnChangeButSettingTheValueDoesNot) {
  int changes = 0;
  Field->OnChange = [&](tk::Component*) { ++changes; };
  Field->SetAsStringValue("program");
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(Field->EverModified());
  Focus(Field);
  Keys(Field, "<E>s");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(Field->Modified());
}

TEST_F(EntryField, EditNoticesNameTheOtherControlAndUserCommandsReachTheField) {
  std::vector<std::pair<std::string, QWidget*>> notices;
  Controller->OnPreEdit = [&](tk::Component*, QWidget* c) { notices.emplace_back("pre", c); };
  Controller->OnPostEdit = [&](tk::Component*, QWidget* c) { notices.emplace_back("post", c); };
  std::vector<std::uint16_t> commands;
  Field->OnUserCommand = [&](tk::Component*, std::uint16_t c) { commands.push_back(c); };
  Controller->EntryCommands().AddCommand("Default", tk::VK_F1 + 4, 0, 0, 0, 300);
  Focus(Field);
  Press(Field, Qt::Key_F5);
  Tab();
  EXPECT_EQ(notices, (std::vector<std::pair<std::string, QWidget*>>{{"pre", Start}, {"post", Other}, {"pre", Field}}));
  EXPECT_EQ(commands, std::vector<std::uint16_t>{300});
}

// ---- values

TEST_F(EntryField, AccessorsOfTheWrongTypeRaise) {
  Field->SetDataType(fsubDate);
  EXPECT_THROW(Field->GetAsInteger(), EInvalidDataType);
  EXPECT_THROW(Field->SetAsBoolean(true), EInvalidDataType);
  Other->SetDataType(fsubInteger);
  EXPECT_THROW(Other->GetAsStDate(), EInvalidDataType);
  EXPECT_THROW(Other->SetAsFloat(1.0), EInvalidDataType);
}

TEST_F(EntryField, IntegersRoundTripAndInvalidTextLeavesAnError) {
  Field->SetDataType(fsubShortInt);
  Field->SetAsInteger(-42);
  EXPECT_EQ(Field->GetEditString(), "-42");
  EXPECT_EQ(Field->GetAsInteger(), -42);
  Field->SetAsStringValue("17");
  EXPECT_EQ(Field->GetAsVariant(), QVariant(17));
  EXPECT_THROW(Field->SetAsStringValue("abc"), EEntryFieldError);
  Focus(Field);
  Keys(Field, "200");
  EXPECT_EQ(Field->GetAsInteger(), 0);
  EXPECT_EQ(Field->LastError(), oeInvalidNumber);
}

TEST_F(EntryField, CentsRoundHalvesToEven) {
  Field->SetDataType(fsubDouble);
  Field->SetAsFloat(2.5);
  EXPECT_EQ(Field->GetAsCents(), 250);
  Field->SetAsFloat(0.125);
  EXPECT_EQ(Field->GetAsCents(), 12);
  Field->SetAsCents(1234);
  EXPECT_DOUBLE_EQ(Field->GetAsFloat(), 12.34);
}

TEST_F(EntryField, DatesFromTheToolkitAndItsNoDate) {
  Field->SetDataType(fsubDate);
  const TStDate day = DMYtoStDate(4, 7, 2026, 2000);
  Field->SetAsDateTime(StDateToDateTime(day));
  EXPECT_EQ(Field->GetAsStDate(), day);
  EXPECT_EQ(Field->GetEditString(), "07/04/2026");
  Field->SetAsDateTime(-1.0);  // 29 December 1899
  EXPECT_EQ(Field->GetAsStDate(), BadDate);
  EXPECT_EQ(Field->LastError(), 0);
}

TEST_F(EntryField, BooleanAndYesNoFieldsTakeEitherTrueOrYesFromText) {
  const TVxIntlSup& intl = Field->IntlSupport();
  const std::string yes(1, intl.YesChar), truth(1, intl.TrueChar), no(1, intl.NoChar);
  for (TVxFieldSubtype subtype : {fsubBoolean, fsubYesNo}) {
    Field->SetDataType(subtype);
    for (const auto& [text, value] : {std::pair{yes, true}, {truth, true}, {no, false}}) {
      Field->SetAsStringValue(platform::LowerCase(text) + "ext");
      EXPECT_EQ(Field->GetAsBoolean(), value) << int(subtype) << " " << text;
    }
  }
}

TEST_F(EntryField, VariantsSetWhatTheirTypeCanReach) {
  Field->SetDataType(fsubYesNo);
  Field->SetAsVariant(QVariant(true));
  EXPECT_EQ(Field->GetEditString(), "Y");
  Field->SetAsVariant(QVariant());  // empty: nothing changes
  EXPECT_EQ(Field->GetEditString(), "Y");
  Other->SetDataType(fsubLongInt);
  Other->SetAsVariant(QVariant(QString("1234")));
  EXPECT_EQ(Other->GetAsInteger(), 1234);
  Other->SetAsVariant(QVariant(2.0));  // a floating value for an integer field goes as text
  EXPECT_EQ(Other->GetAsInteger(), 2);
}

TEST_F(EntryField, RangesAreCheckedSetAsTextAndStreamed) {
  Field->SetName("Amount");
  Field->SetDataType(fsubByte);
  Field->SetRangeLoStr("10");
  Field->SetRangeHiStr("20");
  Field->SetAsInteger(25);
  EXPECT_EQ(Field->ValidateContents(false), oeRangeError);
  try {
    Field->SetRangeHiStr("300");
    ADD_FAILURE() << "no error for a limit outside the type";
  } catch (const EInvalidRangeValue& e) {
    EXPECT_EQ(e.Message(), "Invalid range. Enter a value between (0) and (255)");
  }

  const QJsonObject json = tk::Writer().WriteComponent(*Field);
  tk::Form other;
  new TVxController(&other);
  auto* copy = dynamic_cast<TVxSimpleField*>(tk::Reader().ReadRoot(json, &other));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->DataTypeSubtype(), fsubByte);
  EXPECT_EQ(copy->GetRangeLoStr(), "10");
  EXPECT_EQ(copy->GetRangeHiStr(), "20");
  // A string field has no range to stream.
  const QJsonObject plain = tk::Writer().WriteComponent(*Other);
  EXPECT_FALSE(QJsonDocument(plain).toJson().contains("RangeHigh"));
}

TEST_F(EntryField, ArrowKeysStepTheValueWithinItsRange) {
  Field->SetDataType(fsubByte);
  Field->SetOptions(Field->Options() | efoArrowIncDec);
  Field->SetRangeHiStr("9");
  Field->SetAsInteger(8);
  Focus(Field);
  Keys(Field, "<U><U><U>");
  EXPECT_EQ(Field->GetAsInteger(), 9);
  Keys(Field, "<DN>");
  EXPECT_EQ(Field->GetAsInteger(), 8);
  Field->IncreaseValue(true, 2);
  EXPECT_EQ(Field->GetAsInteger(), 0);  // wrapped round
}

// ---- options and properties

TEST_F(EntryField, OptionsKeepToWhatTheTypeAllows) {
  Field->SetOptions(efoForceInsert | efoForceOvertype);
  EXPECT_EQ(Field->Options(), efoForceInsert);
  Other->SetDataType(fsubBoolean);
  Other->RecreateWnd();
  EXPECT_FALSE(Other->Options() & (efoCaretToEnd | efoTrimBlanks));
  EXPECT_EQ(Other->MaxLength(), 1);
}

TEST_F(EntryField, MaxLengthEpochAndMarginRefuseBadValues) {
  Field->SetAsStringValue("abcdefghij");
  for (std::uint16_t bad : {0, 256}) {
    Field->SetMaxLength(bad);
    EXPECT_EQ(Field->MaxLength(), 15);
  }
  Field->SetMaxLength(4);
  EXPECT_EQ(Field->GetEditString(), "abcd");
  auto* picture = Make<TVxPictureField>(90);
  picture->SetPictureMask("(999) 999-9999");
  picture->SetMaxLength(10);
  EXPECT_EQ(picture->MaxLength(), 14);

  Field->SetEpoch(1599);
  EXPECT_EQ(Field->StoredEpoch(), 0);
  Field->SetEpoch(Controller->Epoch());
  EXPECT_EQ(Field->StoredEpoch(), 0);
  EXPECT_EQ(Field->GetEpoch(), Controller->Epoch());
  Field->SetEpoch(1950);
  EXPECT_EQ(Field->GetEpoch(), 1950);
  Field->SetTextMargin(1);
  EXPECT_EQ(Field->TextMargin(), 2);
}

// ---- painting and sizing

TEST_F(EntryField, TheHeightFollowsTheFont) {
  const int font = QFontMetrics(Field->Font().Q()).height();
  EXPECT_EQ(Field->Height(), font + 8);
  Field->SetCtl3D(false);
  EXPECT_EQ(Field->Height(), font + 6);
  Field->SetHeight(40);  // an explicit height ends the automatic one
  EXPECT_FALSE(Field->AutoSize());
}

TEST_F(EntryField, ADisabledFieldUsesItsDisabledColoursWhateverItsValidity) {
  Field->SetDataType(fsubInteger);
  Field->SetOptions(Field->Options() | efoSoftValidation);
  Focus(Field);
  Keys(Field, "1-2");
  Tab();
  ASSERT_FALSE(Field->IsValid());
  Field->setEnabled(false);
  EXPECT_EQ(PixelAt(Field, 180, 12), tk::ToQColor(tk::ColorToRGB(tk::clWindow)));
}

TEST_F(EntryField, AZeroValueHidesUntilFocusedOrEdited) {
  Field->SetDataType(fsubLongInt);
  Field->SetZeroDisplay(TZeroDisplay::zdHide);
  Field->SetAsInteger(0);
  EXPECT_EQ(Field->GetDisplayString(), " ");
  Focus(Field);
  EXPECT_EQ(Field->GetDisplayString(), "0");
  Field->SetZeroDisplay(TZeroDisplay::zdHideUntilModified);
  Keys(Field, "0");
  Tab();
  EXPECT_EQ(Field->GetDisplayString(), "0");
}

// The x of the rightmost dark pixel of the text row.
int RightmostInk(QWidget* w) {
  QImage image = w->grab().toImage();
  int right = -1;
  for (int x = 0; x < image.width() - 3; ++x)
    for (int y = 5; y < image.height() - 5; ++y)
      if (image.pixelColor(x, y).lightness() < 100) right = std::max(right, x);
  return right;
}

TEST_F(EntryField, RightAlignmentKeepsAShortTextAgainstTheRightEdge) {
  Field->SetAsStringValue("42");
  const int left = RightmostInk(Field);
  Field->SetOptions(Field->Options() | efoRightAlign);
  QApplication::processEvents();
  EXPECT_LT(left, 40);
  EXPECT_GT(RightmostInk(Field), Field->Width() - 12);
}

TEST_F(EntryField, TheScreenshotShowsEachState) {
  auto* date = Make<TVxPictureField>(90);
  date->SetDataType(fsubDate);
  date->SetAsStDate(DMYtoStDate(31, 12, 1999, 2000));
  auto* lined = Make<TVxPictureField>(130);
  lined->SetPictureMask("(999) 999-9999");
  lined->Borders().BottomBorder().SetEnabled(true);
  lined->SetAsStringValue("(555) 123-4567");
  auto* invalid = Make<TVxSimpleField>(170);
  invalid->SetDataType(fsubInteger);
  invalid->SetOptions(invalid->Options() | efoSoftValidation);
  auto* number = Make<TVxNumericField>(50);
  number->SetBounds(230, 50, 80, 25);
  number->SetDataType(fsubDouble);
  number->SetAsFloat(-1234.5);
  auto* off = Make<TVxSimpleField>(205);
  off->SetAsStringValue("disabled");
  off->setEnabled(false);
  Focus(invalid);
  Keys(invalid, "1-2");

  Focus(Field);
  Keys(Field, "Selected words<SL><SL><SL><SL><SL>");
  ASSERT_FALSE(invalid->IsValid());
  const tk::PlatformCaret& caret = tk::PlatformCaret::Instance();
  EXPECT_EQ(caret.Owner(), Field);
  EXPECT_TRUE(caret.On());
  ASSERT_TRUE(testing_support::Shoot(&Form, "entry_fields.png"));
}

// ---- the mouse

TEST_F(EntryField, TheMousePlacesTheCaretAndDragsASelection) {
  Field->SetAsStringValue("mouse here");
  const int margin = Field->TextMargin() + 2;  // inside the frame
  const QFontMetrics m(Field->Font().Q());
  const int at5 = margin + m.horizontalAdvance("mouse");
  testing_support::ClickAt(Field, {at5 + 1, 10});
  EXPECT_EQ(Field->GetCurrentPos(), 5);  // the first click focuses without selecting all
  EXPECT_EQ(Field->GetSelLength(), 0);
  testing_support::Mouse(Field, QEvent::MouseButtonPress, {margin, 10});
  testing_support::Mouse(Field, QEvent::MouseMove, {at5, 10});
  testing_support::Mouse(Field, QEvent::MouseButtonRelease, {at5, 10});
  EXPECT_EQ(Field->GetSelText(), "mouse");
  const QPoint inHere(margin + m.horizontalAdvance("mouse h"), 10);
  testing_support::ClickAt(Field, inHere);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(inHere), QPointF(Field->mapToGlobal(inHere)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Field, &dbl);
  EXPECT_EQ(Field->GetSelText(), "here");
}

// ---- picture fields

class PictureField : public EntryField {
 protected:
  TVxPictureField* Picture = Make<TVxPictureField>(90);
};

TEST_F(PictureField, TypedDatesStepOverTheLiterals) {
  Picture->SetDataType(fsubDate);
  Focus(Picture);
  Keys(Picture, "12312000");
  EXPECT_EQ(Picture->GetEditString(), "12/31/2000");
  EXPECT_EQ(Picture->GetAsStDate(), DMYtoStDate(31, 12, 2000, 2000));
  Keys(Picture, "<H><I>1/5/");  // a typed separator blanks the rest of the part and jumps on
  EXPECT_EQ(Picture->GetEditString(), "1 /5 /2000");
  EXPECT_EQ(Picture->GetAsStDate(), DMYtoStDate(5, 1, 2000, 2000));
  Keys(Picture, "<H>13");
  EXPECT_EQ(Picture->ValidateContents(false), oeInvalidDate);
}

TEST_F(PictureField, StrippedLiteralsLeaveOnlyTheData) {
  Picture->SetPictureMask("(999) 999-9999");
  Picture->SetOptions(Picture->Options() | efoStripLiterals);
  EXPECT_EQ(Picture->GetDataSize(), 11);
  Focus(Picture);
  Keys(Picture, "5551234567");
  EXPECT_EQ(Picture->GetEditString(), "(555) 123-4567");
  EXPECT_EQ(Picture->GetAsString(), "5551234567");
  Keys(Picture, "<B><B><B><B><B>");  // back over the "-" literal
  EXPECT_EQ(Picture->GetEditString(), "(555) 12 -    ");
}

TEST_F(PictureField, NumbersAlignOnTheDecimalPoint) {
  Picture->SetDataType(fsubDouble);
  Picture->SetPictureMask("99999.99");
  Picture->SetAsFloat(1.5);
  EXPECT_EQ(Picture->GetEditString(), "    1.50");
  Focus(Picture);
  Keys(Picture, "<H><I>12.5");  // overwrite from the start; the point blanks the rest and jumps on
  EXPECT_EQ(Picture->GetEditString(), "12   .50");
  EXPECT_DOUBLE_EQ(Picture->GetAsFloat(), 12.5);
  Picture->SetAsFloat(123456);
  EXPECT_EQ(Picture->GetEditString(), "*****.**");  // too wide for the picture
  EXPECT_EQ(Picture->ValidateContents(false), oeInvalidNumber);
}

TEST_F(PictureField, HexadecimalMasksRecaseAndRead) {
  Picture->SetDataType(fsubByte);
  Picture->SetPictureMask("KK");
  Focus(Picture);
  Keys(Picture, "fg");
  EXPECT_EQ(Picture->GetEditString(), "F ");
  Keys(Picture, "f");
  EXPECT_EQ(Picture->GetAsInteger(), 255);
  Picture->SetAsInteger(10);
  EXPECT_EQ(Picture->GetEditString(), "0A");
}

TEST_F(PictureField, InsertingShiftsARunUntilItIsFull) {
  Picture->SetPictureMask("XXX-XX");
  Focus(Picture);
  Keys(Picture, "ab<H>c");
  EXPECT_EQ(Picture->GetEditString(), "cab-  ");
  Keys(Picture, "<H>d");  // the run before the literal is full
  EXPECT_EQ(Picture->GetEditString(), "cab-  ");
  EXPECT_EQ(TestUi().Beeps(), 1);
}

// ---- numeric fields

class NumericField : public EntryField {
 protected:
  TVxNumericField* Number = Make<TVxNumericField>(90);
};

TEST_F(NumericField, DigitsArriveFromTheRightAsOnACalculator) {
  Number->SetDataType(fsubDouble);
  Number->SetPictureMask("#####.##");
  Number->SetAsFloat(0);
  EXPECT_EQ(Number->GetEditString(), "0.00");
  Focus(Number);  // everything selected: the first digit replaces it
  Keys(Number, "12.345");
  EXPECT_EQ(Number->GetEditString(), "12.34");
  EXPECT_EQ(TestUi().Beeps(), 1);  // no third decimal
  Keys(Number, "<B>-");
  EXPECT_EQ(Number->GetEditString(), "-12.3");
  EXPECT_DOUBLE_EQ(Number->GetAsFloat(), -12.3);
  Keys(Number, "<H>7");  // the caret stays at the end
  EXPECT_EQ(Number->GetEditString(), "-12.37");
}

TEST_F(NumericField, AnySelectionIsTheWholeNumberAndItStandsRight) {
  Number->SetDataType(fsubWord);
  Number->SetAsInteger(42);
  Number->SetSelection(1, 2);
  EXPECT_EQ(Number->GetSelLength(), 2);
  EXPECT_EQ(Number->GetSelText(), "42");
  Number->SetOptions(Number->Options() | efoRightAlign | efoCaretToEnd);
  EXPECT_FALSE(Number->Options() & (efoRightAlign | efoCaretToEnd));
  EXPECT_GT(RightmostInk(Number), Number->Width() - 12);
  Focus(Number);
  Keys(Number, "-");  // unsigned: no sign
  EXPECT_EQ(TestUi().Beeps(), 1);
}

}  // namespace
