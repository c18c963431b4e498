#include "app/player_dialog.h"

#include <QApplication>
#include <QCursor>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QShowEvent>

#include "app/dialog_units.h"
#include "app/player_message_event.h"
#include "app/player_template.h"
#include "app/seek_slider.h"
#include "app/trackbar_slider.h"
#include "playback/message_routing.h"

namespace app {

using playback::Control;

namespace {

// Caption, system menu and close box, without minimise or maximise buttons.
// A dialog without a parent is a top-level window of its own, which the
// desktop lists in its task bar.
constexpr Qt::WindowFlags kWindowFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

// The layout was made for an 8-point sans-serif face; the desktop's own
// sans-serif at that size keeps its proportions.
QFont DialogFont(int points) {
  QFont font(QStringLiteral("Sans Serif"), points);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// The window icon covers the minimised window too (the desktop draws it in
// the task bar and the window list), so the dialog paints nothing of its own
// when minimised and needs no separate icon to drag.
QIcon PlayerIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/player-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/icons/player-16.png"), QSize(16, 16));
  return icon;
}

// The first local file among those dragged; files come first as a file
// manager lists them.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

void ShowPlainMessageBox(QWidget* owner, const QString& text, const QString& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

QLabel* CreateLabel(const ControlTemplate& control, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(control.text), parent);
  label->setTextFormat(Qt::PlainText);
  const Qt::Alignment horizontal =
      (control.style & control_style::kCentred) != 0 ? Qt::AlignHCenter : Qt::AlignLeft;
  label->setAlignment(horizontal | Qt::AlignTop);
  return label;
}

QPushButton* CreateButton(const ControlTemplate& control, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(control.text), parent);
  button->setDefault((control.style & control_style::kDefaultButton) != 0);
  return button;
}

void ApplySliderStyle(const ControlTemplate& control, TrackbarSlider& slider) {
  // The lowest position at the top, as on a trackbar.
  if (slider.orientation() == Qt::Vertical) slider.setInvertedAppearance(true);
  const bool ticks = (control.style & control_style::kAutoTicks) != 0 &&
                     (control.style & control_style::kNoTicks) == 0;
  if (ticks) {
    slider.setTickPosition((control.style & control_style::kBothSides) != 0
                               ? QSlider::TicksBothSides
                               : QSlider::TicksBelow);
  } else {
    slider.setTickPosition(QSlider::NoTicks);
  }
  // A trackbar's window text shows nowhere; it is kept as the widget's title.
  slider.setWindowTitle(QString::fromUtf8(control.text));
}

}  // namespace

PlayerDialog::PlayerDialog(playback::AudioDevice& device,
                           const playback::EmbeddedRecording& recording,
                           voice::DecoderState& decoder, std::string tempRoot)
    : QDialog(nullptr, kWindowFlags),
      engine_(decoder, device, *this, recording, std::move(tempRoot)),
      showMessageBox_(ShowPlainMessageBox) {
  const DialogTemplate& layout = PlayerTemplate();
  setWindowTitle(QString::fromUtf8(layout.caption));
  setFont(DialogFont(layout.fontPoints));
  BuildControls();
  DoDataExchange();
  setFixedSize(MapDialogSize(layout.size, MeasureBaseUnits(font())));
  setAcceptDrops(true);
  // The decoder forgets any file and any failure of an earlier dialog.
  vdec_reset_status(decoder);
}

PlayerDialog::~PlayerDialog() {
  OnDestroy();
}

// Created in the template's order, which is also the order Tab moves in.
void PlayerDialog::BuildControls() {
  const DialogBaseUnits base = MeasureBaseUnits(font());
  for (const ControlTemplate& control : PlayerTemplate().controls) {
    QWidget* widget = CreateControl(control);
    widget->setObjectName(QString::fromUtf8(control.name));
    widget->setProperty("controlId", control.id);
    widget->setGeometry(MapDialogRect(control.rect, base));
    widget->setEnabled((control.style & control_style::kDisabled) == 0);
    if ((control.style & control_style::kTabStop) == 0) widget->setFocusPolicy(Qt::NoFocus);
    controlsById_[control.id] = widget;
  }
}

QWidget* PlayerDialog::CreateControl(const ControlTemplate& control) {
  switch (control.kind) {
    case ControlKind::kButton:
      return CreateButton(control, this);
    case ControlKind::kStatic:
      return CreateLabel(control, this);
    case ControlKind::kTrackbar:
      break;
  }
  TrackbarSlider* slider = nullptr;
  if (control.id == IDC_POSITION) {
    slider = new SeekSlider(*this, this);
  } else {
    const Qt::Orientation orientation =
        (control.style & control_style::kVertical) != 0 ? Qt::Vertical : Qt::Horizontal;
    slider = new TrackbarSlider(orientation, static_cast<Control>(control.id), *this, this);
  }
  ApplySliderStyle(control, *slider);
  return slider;
}

void PlayerDialog::DoDataExchange() {
  volume_ = qobject_cast<TrackbarSlider*>(controlsById_.at(IDC_VOLUME));
  stop_ = qobject_cast<QPushButton*>(controlsById_.at(IDC_STOP));
  duration_ = qobject_cast<QLabel*>(controlsById_.at(IDC_DURATION));
  fileName_ = qobject_cast<QLabel*>(controlsById_.at(IDC_FILENAME));
  elapsed_ = qobject_cast<QLabel*>(controlsById_.at(IDC_ELAPSED));
  play_ = qobject_cast<QPushButton*>(controlsById_.at(IDC_PLAY));
  position_ = qobject_cast<SeekSlider*>(controlsById_.at(IDC_POSITION));
  exit_ = qobject_cast<QPushButton*>(controlsById_.at(IDOK));

  // A button's command reaches the dialog while the button is being clicked.
  connect(play_, &QPushButton::clicked, this,
          [this] { Dispatch(playback::MakeCommandMessage(Control::kPlay)); });
  connect(stop_, &QPushButton::clicked, this,
          [this] { Dispatch(playback::MakeCommandMessage(Control::kStop)); });
  connect(exit_, &QPushButton::clicked, this, &PlayerDialog::OnOK);
  connect(volume_, &QAbstractSlider::valueChanged, this, &PlayerDialog::controlsChanged);
}

// The first showing is the dialog's initialisation: the window exists, and
// nothing the user does can reach it yet.
void PlayerDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (initialized_) return;
  initialized_ = true;
  OnInitDialog();
}

void PlayerDialog::OnInitDialog() {
  setWindowIcon(PlayerIcon());
  engine_.InitControls();
  play_->setFocus();
}

void PlayerDialog::OnOK() {
  engine_.StopStream();
  QDialog::accept();
}

void PlayerDialog::OnCancel() {
  engine_.StopStream();
  QDialog::reject();
}

bool PlayerDialog::OpenVoiceFile(const QString& path) {
  const bool opened = engine_.OpenVoiceFile(QFile::encodeName(path).toStdString());
  if (afterDispatch_) afterDispatch_();
  return opened;
}

void PlayerDialog::SeekAsSlider(int units) {
  if (!position_->isEnabled()) return;
  position_->setValue(units);
  const int value = position_->value();  // clamped to the range
  Dispatch(playback::MakeScrollMessage(playback::WM_HSCROLL, scroll_code::kThumbTrack, value,
                                       Control::kPosition));
  Dispatch(playback::MakeScrollMessage(playback::WM_HSCROLL, scroll_code::kThumbPosition, value,
                                       Control::kPosition));
}

void PlayerDialog::MoveVolumeSlider(int position) {
  if (!volume_->isEnabled()) return;
  volume_->setValue(position);
  Dispatch(playback::MakeScrollMessage(playback::WM_VSCROLL, scroll_code::kThumbPosition,
                                       volume_->value(), Control::kVolume));
}

void PlayerDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// The file opens after the drop has ended: a message box about it must not
// keep the program the file came from waiting for the drop's answer.
void PlayerDialog::dropEvent(QDropEvent* event) {
  const QString path = DraggedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  QMetaObject::invokeMethod(
      this, [this, path] { OpenVoiceFile(path); }, Qt::QueuedConnection);
}

// The decoder's file is closed and the temporary copy deleted; a stream
// still open is stopped when the engine goes.
void PlayerDialog::OnDestroy() {
  engine_.OnDestroy();
}

void PlayerDialog::Post(const playback::Message& message) {
  QCoreApplication::postEvent(this, new PlayerMessageEvent(message));
}

bool PlayerDialog::event(QEvent* event) {
  if (!IsPlayerMessageEvent(*event)) return QDialog::event(event);
  Dispatch(static_cast<PlayerMessageEvent*>(event)->message());
  return true;
}

// Every message goes to its handler through the engine's own router, the
// one its tests drive; then whoever follows the engine's state may look.
void PlayerDialog::Dispatch(const playback::Message& message) {
  playback::RouteMessage(engine_, message);
  if (afterDispatch_) afterDispatch_();
}

QWidget* PlayerDialog::ControlWidget(Control control) const {
  return controlsById_.at(static_cast<int>(control));
}

TrackbarSlider* PlayerDialog::Slider(Control slider) const {
  return qobject_cast<TrackbarSlider*>(ControlWidget(slider));
}

void PlayerDialog::SetText(Control control, const std::string& text) {
  QWidget* widget = ControlWidget(control);
  const QString qtext = QString::fromStdString(text);
  if (auto* button = qobject_cast<QPushButton*>(widget)) button->setText(qtext);
  if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(qtext);
  emit controlsChanged();
}

void PlayerDialog::Enable(Control control, bool enabled) {
  ControlWidget(control)->setEnabled(enabled);
  emit controlsChanged();
}

void PlayerDialog::SetSliderRange(Control slider, int min, int max) {
  Slider(slider)->SetRange(min, max);
}

void PlayerDialog::SetTickFrequency(Control slider, int units) {
  Slider(slider)->setTickInterval(units);
}

int PlayerDialog::SliderPosition(Control slider) {
  return Slider(slider)->value();
}

// While the user holds the position slider its thumb stays under the
// pointer: playback that reports its progress before the press has been
// handled must not carry the thumb away from the point the user chose.
void PlayerDialog::SetSliderPosition(Control slider, int position) {
  if (slider == Control::kPosition && position_->dragging()) return;
  Slider(slider)->setValue(position);
}

void PlayerDialog::ShowMessageBox(const std::string& text, const std::string& caption) {
  showMessageBox_(this, QString::fromStdString(text), QString::fromStdString(caption));
}

void PlayerDialog::BeginBusyCursor() {
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void PlayerDialog::EndBusyCursor() {
  QApplication::restoreOverrideCursor();
}

}  // namespace app
