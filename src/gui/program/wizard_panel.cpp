#include "gui/program/wizard_panel.h"

#include <QButtonGroup>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/clock.h"
#include "platform/text.h"

namespace program {

namespace {
constexpr int kLabelWidth = 76;

QStringList ToQStrings(const std::vector<std::string>& items) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) out.push_back(platform::ToQString(item));
  return out;
}

void Name(QObject* object, const char* name) {
  if (name) object->setObjectName(name);
}
}  // namespace

// ---- WizardList ----

WizardList::WizardList(QWidget* parent) : QComboBox(parent) {
  // Long names must not widen the window: the list keeps a fixed width and its drop-down shows the rest.
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(22);
  setMaxVisibleItems(16);
}

void WizardList::Load(const ListState& state) {
  const QSignalBlocker block(this);
  if (state.Items != items_) {
    clear();
    addItems(ToQStrings(state.Items));
    items_ = state.Items;
  }
  setCurrentIndex(state.Index >= 0 && state.Index < count() ? state.Index : -1);
  SetVisibleWithLabel(state.Visible);
  setEnabled(state.Enabled);
}

void WizardList::SetVisibleWithLabel(bool visible) {
  setVisible(visible);
  if (Label) Label->setVisible(visible);
}

// ---- WizardRadioGroup ----

WizardRadioGroup::WizardRadioGroup(const QString& caption, int columns, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)), grid_(new QGridLayout(this)), columns_(columns) {
  grid_->setContentsMargins(6, 2, 6, 2);
  grid_->setVerticalSpacing(0);
  connect(group_, &QButtonGroup::idClicked, this, &WizardRadioGroup::Clicked);
}

void WizardRadioGroup::Load(const ListState& state) {
  if (state.Items != items_) {
    for (QAbstractButton* button : group_->buttons()) {
      group_->removeButton(button);
      delete button;
    }
    items_ = state.Items;
    // Filled column by column, as a radio group of this many columns lays its items out.
    const int count = Count();
    const int rows = std::max(1, (count + columns_ - 1) / columns_);
    for (int i = 0; i < count; ++i) {
      auto* button = new QRadioButton(platform::ToQString(items_[static_cast<std::size_t>(i)]), this);
      group_->addButton(button, i);
      grid_->addWidget(button, i % rows, i / rows);
    }
  }
  SetIndex(state.Index);
  setVisible(state.Visible);
  setEnabled(state.Enabled);
}

int WizardRadioGroup::Index() const { return group_->checkedId(); }

void WizardRadioGroup::SetIndex(int index) {
  if (QAbstractButton* button = group_->button(index)) {
    button->setChecked(true);
    return;
  }
  group_->setExclusive(false);
  for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
  group_->setExclusive(true);
}

QAbstractButton* WizardRadioGroup::Button(int index) const { return group_->button(index); }

// ---- WizardPanel ----

WizardPanel::WizardPanel(Panel id, QWidget* parent)
    : QGroupBox(platform::ToQString(TextsOf(id).Caption), parent), id_(id) {
  state_.Id = id;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->setSpacing(6);
  main_ = target_ = layout;
}

QBoxLayout* WizardPanel::Target() const { return target_; }

WizardList* WizardPanel::AddList(const char* label, const char* name) {
  auto* list = new WizardList(this);
  Name(list, name);
  auto* row = new QHBoxLayout;
  if (label) {
    list->Label = new QLabel(label, this);
    list->Label->setMinimumWidth(kLabelWidth);
    list->Label->setBuddy(list);
    row->addWidget(list->Label);
  }
  row->addWidget(list, 1);
  Target()->addLayout(row);
  return list;
}

WizardList* WizardPanel::AddModule(const char* label, const char* name) { return Module = AddList(label, name); }

WizardList* WizardPanel::AddItem(const char* label, const char* name, const char* placeholder) {
  Item = AddList(label, name);
  if (placeholder) Item->setPlaceholderText(placeholder);
  return Item;
}

WizardRadioGroup* WizardPanel::AddCompare(const char* caption, int columns, const char* name) {
  Compare = new WizardRadioGroup(caption, columns, this);
  Name(Compare, name);
  Target()->addWidget(Compare);
  return Compare;
}

WizardRadioGroup* WizardPanel::AddOption(const char* caption, int columns, const char* name) {
  Option = new WizardRadioGroup(caption, columns, this);
  Name(Option, name);
  Target()->addWidget(Option);
  return Option;
}

WizardRadioGroup* WizardPanel::AddHouse(const char* name) {
  House = new WizardRadioGroup("House Code", 4, this);
  Name(House, name);
  Target()->addWidget(House);
  return House;
}

WizardRadioGroup* WizardPanel::AddSource(const char* caption, const char* name, int columns) {
  Source = new WizardRadioGroup(caption, columns, this);
  Name(Source, name);
  Target()->addWidget(Source);
  return Source;
}

void WizardPanel::AddValueRow(const char* editLabel, const char* editSuffix, bool edit, bool choice, bool variable,
                              const char* variableName) {
  auto* row = new QHBoxLayout;
  if (edit) {
    EditRow = new QWidget(this);
    auto* inner = new QHBoxLayout(EditRow);
    inner->setContentsMargins(0, 0, 0, 0);
    if (editLabel) inner->addWidget(new QLabel(editLabel, EditRow));
    Edit = new QLineEdit(EditRow);
    Edit->setFixedWidth(72);
    inner->addWidget(Edit);
    if (editSuffix) inner->addWidget(new QLabel(editSuffix, EditRow));
    inner->addStretch(1);
    row->addWidget(EditRow);
  }
  if (choice) {
    Choice = new WizardList(this);
    Choice->setMinimumContentsLength(16);
    row->addWidget(Choice, 1);
  }
  if (variable) {
    Variable = new WizardList(this);
    Variable->setMinimumContentsLength(16);
    Name(Variable, variableName);
    row->addWidget(Variable, 1);
  }
  Target()->addLayout(row);
}

void WizardPanel::AddUpDown(int minimum, int maximum) {
  auto* arrows = new QWidget(EditRow);
  auto* column = new QVBoxLayout(arrows);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto step = [this, minimum, maximum](int by) {
    const long typed = codec_detail::DecimalValue(platform::FromQString(Edit->text()).value_or(std::string()));
    const long value = std::clamp<long>(std::clamp<long>(typed, minimum, maximum) + by, minimum, maximum);
    Edit->setText(QString::number(value));
  };
  Up = new QToolButton(arrows);
  Up->setArrowType(Qt::UpArrow);
  Down = new QToolButton(arrows);
  Down->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {Up, Down}) {
    button->setFixedSize(16, 11);
    column->addWidget(button);
  }
  connect(Up, &QToolButton::clicked, this, [step] { step(1); });
  connect(Down, &QToolButton::clicked, this, [step] { step(-1); });
  auto* inner = static_cast<QHBoxLayout*>(EditRow->layout());
  inner->insertWidget(inner->indexOf(Edit) + 1, arrows);
}

QSlider* WizardPanel::AddSlider(int maximum, const char* name, const char* minLabel, const char* maxLabel) {
  Slider = new QSlider(Qt::Horizontal, this);
  Name(Slider, name);
  Slider->setRange(0, maximum);
  auto* row = new QHBoxLayout;
  if (minLabel) row->addWidget(new QLabel(minLabel, this));
  row->addWidget(Slider, 1);
  if (maxLabel) row->addWidget(new QLabel(maxLabel, this));
  Target()->addLayout(row);
  return Slider;
}

QLabel* WizardPanel::AddSliderCaption() {
  SliderCaption = new QLabel(this);
  Target()->addWidget(SliderCaption);
  return SliderCaption;
}

QDateEdit* WizardPanel::AddDate() {
  Date = new QDateEdit(this);
  Date->setCalendarPopup(true);
  Date->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
  const platform::LocalTime today = platform::CurrentClock().Now();
  Date->setDate(QDate(today.Year, today.Month, today.Day));
  auto* row = new QHBoxLayout;
  row->addWidget(Date);
  row->addStretch(1);
  Target()->addLayout(row);
  return Date;
}

QPushButton* WizardPanel::AddEnter(const char* name) {
  const bool second = Enter != nullptr;
  auto* button = new QPushButton(second ? "Enter Sunrise/Sunset" : TextsOf(id_).EnterCaption, this);
  Name(button, name);
  button->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(button);
  Target()->addLayout(row);
  (second ? Enter2 : Enter) = button;
  return button;
}

QTabBar* WizardPanel::AddTabs(const char* name) {
  Tab = new QTabBar(this);
  Name(Tab, name);
  for (const char* tab : TodTabItems()) Tab->addTab(tab);
  Target()->addWidget(Tab);
  Pages = new QStackedWidget(this);
  for (QBoxLayout*& page : page_) {
    auto* widget = new QWidget(Pages);
    page = new QVBoxLayout(widget);
    page->setContentsMargins(0, 0, 0, 0);
    Pages->addWidget(widget);
  }
  Target()->addWidget(Pages);
  connect(Tab, &QTabBar::currentChanged, Pages, &QStackedWidget::setCurrentIndex);
  return Tab;
}

void WizardPanel::BeginPage(int page) { target_ = page_[page]; }

void WizardPanel::Finish() {
  for (QBoxLayout* layout : page_)
    if (layout) layout->addStretch(1);
  main_->addStretch(1);
}

void WizardPanel::Load(const PanelState& state) {
  state_ = state;
  state_.Id = id_;
  for (WizardList* list : {Module, Item, Choice, Variable}) {
    if (!list) continue;
    list->Load(list == Module   ? state.Module
               : list == Item   ? state.Item
               : list == Choice ? state.Choice
                                : state.Variable);
  }
  if (Compare) Compare->Load(state.Compare);
  if (Option) Option->Load(state.Option);
  if (House) House->Load(state.House);
  if (Source) Source->Load(state.Source);
  if (Edit) {
    Edit->setText(platform::ToQString(state.EditText));
    Edit->setEnabled(state.EditEnabled);
    EditRow->setVisible(state.EditVisible);
  }
  if (Slider) {
    const QSignalBlocker block(Slider);
    if (state.SliderMax > 0) Slider->setMaximum(state.SliderMax);
    Slider->setValue(state.Slider);
  }
  if (Tab) {
    // The sunrise/sunset group carries the offset as its caption.
    if (Option && !state.SliderCaption.empty()) Option->setTitle(platform::ToQString(state.SliderCaption));
    if (state.Tab.Index >= 0) {
      const QSignalBlocker block(Tab);
      Tab->setCurrentIndex(state.Tab.Index);
      Pages->setCurrentIndex(state.Tab.Index);
    }
  } else if (SliderCaption) {
    SliderCaption->setText(platform::ToQString(state.SliderCaption));
    SliderCaption->setVisible(state.SliderCaptionVisible);
  }
  if (Date && state.Day != 0) Date->setDate(QDate(state.Year, state.Month, state.Day));
  if (Enter) Enter->setVisible(state.EnterVisible);
}

PanelState WizardPanel::Read() const {
  PanelState s = state_;
  if (Module) s.Module.Index = Module->currentIndex();
  if (Item) s.Item.Index = Item->currentIndex();
  if (Choice) s.Choice.Index = Choice->currentIndex();
  if (Variable) s.Variable.Index = Variable->currentIndex();
  if (Compare) s.Compare.Index = Compare->Index();
  if (Option) s.Option.Index = Option->Index();
  if (House) s.House.Index = House->Index();
  if (Source) s.Source.Index = Source->Index();
  if (Edit) s.EditText = platform::FromQString(Edit->text()).value_or(std::string());
  if (Slider) s.Slider = Slider->value();
  if (Tab) s.Tab.Index = Tab->currentIndex();
  if (Date) {
    const QDate date = Date->date();
    s.Day = date.day();
    s.Month = date.month();
    s.Year = date.year();
  }
  return s;
}

}  // namespace program
