// The property frame's dialog: controls built in one loop from the page descriptions,
// changes held until Apply or OK.

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QVariant>
#include <algorithm>
#include <cstdint>

#include "platform/com/ErrorText.h"
#include "ui/propertyframe/PropertyFrame.h"

namespace korvane::ui {
namespace {

using Kind = os::PropertyPageControl::Kind;

// "Power line frequency" -> "PowerLineFrequency", for object names.
QString CamelCase(const std::string& caption) {
  QString name;
  bool upper = true;
  for (const QChar letter : QString::fromStdString(caption)) {
    if (!letter.isLetterOrNumber()) {
      upper = true;
      continue;
    }
    name += upper ? letter.toUpper() : letter;
    upper = false;
  }
  return name;
}

// The slider position nearest to value on the grid min + k * step; max stays reachable even
// when the range is not a whole number of steps.
LONG Snapped(const os::PropertyPageControl& control, LONG value) {
  if (value >= control.max || value <= control.min) return value;
  const std::int64_t step = std::max<LONG>(control.step, 1);
  const std::int64_t offset = static_cast<std::int64_t>(value) - control.min;
  const std::int64_t snapped = control.min + (offset + step / 2) / step * step;
  return static_cast<LONG>(std::min<std::int64_t>(snapped, control.max));
}

}  // namespace

PropertyFrameDialog::PropertyFrameDialog(const os::PropertyFrameRequest& request, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("PropertyFrame"));
  setWindowTitle(QString::fromStdString(request.caption));
  setModal(true);
  QFont frameFont(QStringLiteral("Carlito"));
  frameFont.setPixelSize(14);
  setFont(frameFont);
  setMinimumWidth(480);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(10);
  if (request.pages.empty()) {
    auto* none = new QLabel(tr("This device offers no property pages."), this);
    none->setObjectName(QStringLiteral("NoPages"));
    none->setAlignment(Qt::AlignCenter);
    none->setMinimumHeight(120);
    layout->addWidget(none);
  } else {
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("Pages"));
    for (const auto& page : request.pages) {
      std::string title;
      page->GetTitle(&title);
      tabs->addTab(BuildPage(page), QString::fromStdString(title));
    }
    layout->addWidget(tabs);
  }

  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  buttons->setObjectName(QStringLiteral("Buttons"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ButtonOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("ButtonCancel"));
  applyButton_ = buttons->button(QDialogButtonBox::Apply);
  applyButton_->setObjectName(QStringLiteral("ButtonApply"));
  layout->addWidget(buttons);
  connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] {
    if (Apply()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(applyButton_, &QPushButton::clicked, this, [this] { Apply(); });

  ReadAll();
}

QWidget* PropertyFrameDialog::BuildPage(const ComPtr<IPropertyPageDescription>& page) {
  std::string title;
  page->GetTitle(&title);
  auto* widget = new QWidget;
  widget->setObjectName(QStringLiteral("Page") + CamelCase(title));
  auto* column = new QVBoxLayout(widget);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(6);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(2, 40);
  auto* actions = new QHBoxLayout;
  actions->addStretch(1);
  column->addLayout(grid);
  column->addStretch(1);
  column->addLayout(actions);

  std::vector<os::PropertyPageControl> controls;
  page->GetControls(&controls);
  const std::size_t first = fields_.size();
  for (ULONG i = 0; i < controls.size(); ++i) {
    Field field;
    field.page = page;
    field.index = i;
    field.control = std::move(controls[i]);
    field.firstOfPage = first;
    AddField(std::move(field), *grid, *actions);
  }
  return widget;
}

void PropertyFrameDialog::AddField(Field field, QGridLayout& grid, QHBoxLayout& actions) {
  const os::PropertyPageControl& control = field.control;
  const QString name = CamelCase(control.caption);
  const QString caption = QString::fromStdString(control.caption);
  // An Auto box shares the row of the slider before it.
  const bool joinsSlider = control.kind == Kind::Auto && fields_.size() > field.firstOfPage &&
                           fields_.back().control.kind == Kind::Slider;
  const int row = joinsSlider ? grid.rowCount() - 1 : grid.rowCount();
  switch (control.kind) {
    case Kind::Slider: {
      auto* slider = new QSlider(Qt::Horizontal);
      slider->setObjectName(QStringLiteral("Slider") + name);
      slider->setRange(control.min, control.max);
      slider->setSingleStep(control.step);
      const std::int64_t steps =
          (static_cast<std::int64_t>(control.max) - control.min) / control.step;
      slider->setPageStep(static_cast<int>(
          std::min<std::int64_t>(std::max<std::int64_t>(steps / 10, 1) * control.step, 1 << 30)));
      field.valueLabel = new QLabel;
      field.valueLabel->setObjectName(QStringLiteral("Value") + name);
      field.valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid.addWidget(new QLabel(caption), row, 0);
      grid.addWidget(slider, row, 1);
      grid.addWidget(field.valueLabel, row, 2);
      field.widget = slider;
      break;
    }
    case Kind::Auto: {
      auto* box = new QCheckBox(caption);
      const QString owner = joinsSlider ? CamelCase(fields_.back().control.caption) : name;
      box->setObjectName(QStringLiteral("Auto") + owner);
      grid.addWidget(box, row, 3);
      field.widget = box;
      break;
    }
    case Kind::Choice: {
      auto* choice = new QComboBox;
      choice->setObjectName(QStringLiteral("Choice") + name);
      for (const auto& [value, text] : control.entries) {
        choice->addItem(QString::fromStdString(text), QVariant::fromValue<int>(value));
      }
      grid.addWidget(new QLabel(caption), row, 0);
      grid.addWidget(choice, row, 1, 1, 2);
      field.widget = choice;
      break;
    }
    case Kind::Button: {
      auto* button = new QPushButton(caption);
      button->setObjectName(QStringLiteral("Press") + name);
      grid.addWidget(button, row, 1);
      field.widget = button;
      break;
    }
    case Kind::Hold:
      grid.addWidget(new QLabel(caption), row, 0);
      field.widget = HoldButtons(fields_.size(), control, name);
      grid.addWidget(field.widget, row, 1);
      break;
    case Kind::Action: {
      auto* button = new QPushButton(caption);
      button->setObjectName(QStringLiteral("Button") + name);
      actions.addWidget(button);
      field.widget = button;
      break;
    }
  }
  fields_.push_back(std::move(field));
  Connect(fields_.size() - 1);
}

// "−" and "+": each moves the device while it is held down. Their field index lets the focus
// watch find what to stop.
QWidget* PropertyFrameDialog::HoldButtons(std::size_t index, const os::PropertyPageControl& control,
                                          const QString& name) {
  auto* pair = new QWidget;
  pair->setObjectName(QStringLiteral("Hold") + name);
  auto* row = new QHBoxLayout(pair);
  row->setContentsMargins(0, 0, 0, 0);
  const std::pair<int, QString> directions[] = {{-1, QStringLiteral("Less")},
                                                {1, QStringLiteral("More")}};
  for (const auto& entry : directions) {
    // Named apart: a lambda cannot capture a structured binding on every compiler we build with.
    const int direction = entry.first;
    const QString& role = entry.second;
    auto* button = new QPushButton(direction < 0 ? QStringLiteral("\u2212") : QStringLiteral("+"));
    button->setObjectName(role + name);
    button->setAutoDefault(false);
    button->setProperty("holdField", QVariant::fromValue<qulonglong>(index));
    // A range that does not reach below (or above) 0 has no way to go there.
    button->setVisible(direction < 0 ? control.min < 0 : control.max > 0);
    button->installEventFilter(this);
    connect(button, &QPushButton::pressed, this,
            [this, index, direction] { StartMoving(index, direction); });
    connect(button, &QPushButton::released, this, [this, index] { StopMoving(index); });
    row->addWidget(button);
  }
  row->addStretch(1);
  return pair;
}

void PropertyFrameDialog::Connect(std::size_t index) {
  QWidget* widget = fields_[index].widget;
  if (auto* slider = qobject_cast<QSlider*>(widget)) {
    connect(slider, &QSlider::valueChanged, this, [this, index, slider](int value) {
      Field& field = fields_[index];
      // The user moves in the driver's steps; values the device itself holds are shown as
      // they are.
      const LONG snapped = Snapped(field.control, value);
      if (!reading_ && snapped != value) {
        slider->setValue(snapped);
        return;
      }
      field.valueLabel->setText(QString::number(value));
      FieldChanged(index);
    });
  } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
    connect(box, &QCheckBox::toggled, this, [this, index] { FieldChanged(index); });
  } else if (auto* choice = qobject_cast<QComboBox*>(widget)) {
    connect(choice, &QComboBox::currentIndexChanged, this, [this, index] { FieldChanged(index); });
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    connect(button, &QPushButton::clicked, this, [this, index] {
      if (fields_[index].control.kind == Kind::Button) {
        Press(fields_[index]);
      } else {
        RunAction(fields_[index]);
      }
    });
  }
}

void PropertyFrameDialog::ReadAll() {
  for (Field& field : fields_) {
    if (field.control.kind == Kind::Action || field.control.kind == Kind::Button) continue;
    if (field.control.kind == Kind::Hold) {  // written only; a read would fail
      field.widget->setEnabled(!field.control.readOnly);
      continue;
    }
    LONG value = 0;
    field.readable = SUCCEEDED(field.page->GetValue(field.index, &value));
    if (field.readable) {
      field.shown = value;
      Show(field, value);
    }
    field.widget->setEnabled(field.readable && !field.control.readOnly);
  }
  // A slider under automatic control is the driver's to move.
  for (std::size_t i = 0; i < fields_.size(); ++i) FieldChanged(i);
  UpdateApply();
}

void PropertyFrameDialog::Show(Field& field, LONG value) {
  const bool wasReading = reading_;
  reading_ = true;
  if (auto* slider = qobject_cast<QSlider*>(field.widget)) {
    slider->setValue(value);
    field.valueLabel->setText(QString::number(slider->value()));
  } else if (auto* box = qobject_cast<QCheckBox*>(field.widget)) {
    box->setChecked(value != 0);
  } else if (auto* choice = qobject_cast<QComboBox*>(field.widget)) {
    choice->setCurrentIndex(choice->findData(QVariant::fromValue<int>(value)));
  }
  reading_ = wasReading;
}

std::optional<LONG> PropertyFrameDialog::Held(const Field& field) const {
  if (auto* slider = qobject_cast<QSlider*>(field.widget)) return slider->value();
  if (auto* box = qobject_cast<QCheckBox*>(field.widget)) return box->isChecked() ? 1 : 0;
  if (auto* choice = qobject_cast<QComboBox*>(field.widget)) {
    if (choice->currentIndex() < 0) return std::nullopt;
    return choice->currentData().toInt();
  }
  return std::nullopt;
}

bool PropertyFrameDialog::Changed(const Field& field) const {
  const std::optional<LONG> held = Held(field);
  if (!field.readable || !held) return false;
  // A device value outside the driver's own range shows at the nearest end; that alone is no
  // change of the user's, and OK must not write it.
  const LONG shown = field.control.kind == Kind::Slider
                         ? std::clamp(field.shown, field.control.min, field.control.max)
                         : field.shown;
  return *held != shown;
}

void PropertyFrameDialog::FieldChanged(std::size_t index) {
  const Field& field = fields_[index];
  if (field.control.kind == Kind::Auto && index > field.firstOfPage) {
    Field& slider = fields_[index - 1];
    if (slider.control.kind == Kind::Slider) {
      slider.widget->setEnabled(slider.readable && Held(field) != 1);
    }
  }
  UpdateApply();
}

void PropertyFrameDialog::RunAction(const Field& action) {
  for (const auto& [control, value] : action.control.assignments) {
    const std::size_t target = action.firstOfPage + control;
    if (target >= fields_.size() || fields_[target].page != action.page) continue;
    Field& field = fields_[target];
    // Held like a change of the user's own, so that Cancel still takes it back.
    if (field.readable) Show(field, value);
  }
  UpdateApply();
}

// A button acts on the device at once: there is no value to hold until Apply.
void PropertyFrameDialog::Press(const Field& button) {
  const HRESULT result = button.page->SetValue(button.index, 1);
  if (FAILED(result)) {
    QMessageBox::warning(this, windowTitle(),
                         tr("%1 failed: %2.")
                             .arg(QString::fromStdString(button.control.caption),
                                  QString::fromStdString(com::OleErrorMessage(result))));
  }
  // What the button did moves other values.
  ReadAll();
}

void PropertyFrameDialog::StartMoving(std::size_t index, int direction) {
  Field& field = fields_[index];
  const LONG speed =
      std::clamp<LONG>(direction * field.control.step, field.control.min, field.control.max);
  if (speed == 0) return;
  const HRESULT result = field.page->SetValue(field.index, speed);
  if (SUCCEEDED(result)) {
    field.moving = speed;
    return;
  }
  QMessageBox::warning(this, windowTitle(),
                       tr("%1 could not be changed: %2.")
                           .arg(QString::fromStdString(field.control.caption),
                                QString::fromStdString(com::OleErrorMessage(result))));
}

// Called for every way a hold ends (release, focus lost, frame closed), so it may come more
// than once for one press; only the first writes.
void PropertyFrameDialog::StopMoving(std::size_t index) {
  Field& field = fields_[index];
  // The warning below takes the focus, which asks for a stop again.
  if (field.moving == 0 || stopping_) return;
  const QScopedValueRollback<bool> stopping(stopping_, true);
  const HRESULT result = field.page->SetValue(field.index, 0);
  if (SUCCEEDED(result)) {
    field.moving = 0;
    return;
  }
  // Still marked as moving, so closing the frame tries again.
  if (isVisible()) {
    QMessageBox::warning(this, windowTitle(),
                         tr("%1 could not be stopped: %2.")
                             .arg(QString::fromStdString(field.control.caption),
                                  QString::fromStdString(com::OleErrorMessage(result))));
  }
}

void PropertyFrameDialog::StopAll() {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].control.kind == Kind::Hold) StopMoving(i);
  }
}

bool PropertyFrameDialog::eventFilter(QObject* watched, QEvent* event) {
  // A button let go of outside itself is no longer down but sends no release; focus lost
  // mid-hold ends it too.
  if (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonRelease) {
    const QVariant field = watched->property("holdField");
    if (field.isValid()) StopMoving(field.toULongLong());
  }
  return QDialog::eventFilter(watched, event);
}

void PropertyFrameDialog::changeEvent(QEvent* event) {
  // Another window taking the focus ends a hold as surely as the button losing it.
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) StopAll();
  QDialog::changeEvent(event);
}

void PropertyFrameDialog::hideEvent(QHideEvent* event) {
  StopAll();
  QDialog::hideEvent(event);
}

PropertyFrameDialog::~PropertyFrameDialog() {
  StopAll();
  // The children go in the base class's destructor, when this is no longer a property frame:
  // what they would still tell it there (a held button let go, a focus lost) must not reach it.
  for (QObject* child : findChildren<QObject*>()) {
    child->removeEventFilter(this);
    disconnect(child, nullptr, this, nullptr);
  }
}

void PropertyFrameDialog::UpdateApply() {
  applyButton_->setEnabled(std::any_of(fields_.begin(), fields_.end(),
                                       [this](const Field& field) { return Changed(field); }));
}

bool PropertyFrameDialog::Apply() {
  for (Field& field : fields_) {
    if (!Changed(field)) continue;
    const LONG value = *Held(field);
    const HRESULT result = field.page->SetValue(field.index, value);
    if (FAILED(result)) {
      QMessageBox::warning(this, windowTitle(),
                           tr("%1 could not be changed: %2.")
                               .arg(QString::fromStdString(field.control.caption),
                                    QString::fromStdString(com::OleErrorMessage(result))));
      return false;
    }
    field.shown = value;
  }
  // The driver may have adjusted what it was given, and a mode change moves values.
  ReadAll();
  return true;
}

}  // namespace korvane::ui
