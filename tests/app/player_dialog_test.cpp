// The dialog as it opens: its template's controls, texts and states, the
// probe of the device and its volume, and its picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QSlider>
#include <vector>

#include "app/player_message_event.h"
#include "app/seek_slider.h"
#include "player_dialog_fixture.h"

namespace {

using app_testing::PlayerDialogFixture;

class PlayerDialogStartTest : public PlayerDialogFixture {};

TEST_F(PlayerDialogStartTest, ShowsTheTemplatesControlsTextsAndStates) {
  Open();
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "Vantor Digital Voice Player");
  const std::vector<std::tuple<const char*, int, const char*>> controls = {
      {"IDC_PLAY", 1006, "&Play"},
      {"IDC_STOP", 1008, "&Stop"},
      {"IDOK", 1, "E&xit"},
      {"IDC_POSITION", 1017, nullptr},
      {"IDC_FILENAME", 1018, "Voice filename:"},
      {"IDC_DURATION", 1019, "Voice Duration:"},
      {"IDC_ELAPSED", 1020, "Elapsed time:"},
      {"IDC_VOLUME", 1021, nullptr},
      {"IDC_STATIC", -1, "Volume:"}};
  for (const auto& [name, id, text] : controls) {
    EXPECT_EQ(Find<QWidget>(name)->property("controlId").toInt(), id) << name;
    if (text != nullptr) {
      EXPECT_EQ(Text(name), text);
    }
  }
  EXPECT_TRUE(Button("IDC_PLAY")->isEnabled());
  EXPECT_TRUE(Button("IDC_PLAY")->isDefault());
  EXPECT_EQ(QApplication::focusWidget(), Button("IDC_PLAY"));
  EXPECT_FALSE(Button("IDC_STOP")->isEnabled());
  EXPECT_TRUE(Button("IDOK")->isEnabled());
  EXPECT_FALSE(Slider("IDC_POSITION")->isEnabled());
  EXPECT_TRUE(Slider("IDC_VOLUME")->isEnabled()) << "the device can set its volume";
  EXPECT_TRUE(boxes_.empty());

  auto* position = Find<app::SeekSlider>("IDC_POSITION");
  EXPECT_EQ(position->orientation(), Qt::Horizontal);
  EXPECT_EQ(std::pair(position->minimum(), position->maximum()), std::pair(0, 35999));
  EXPECT_EQ(position->tickPosition(), QSlider::NoTicks);
  auto* volume = Find<QSlider>("IDC_VOLUME");
  EXPECT_EQ(volume->orientation(), Qt::Vertical);
  EXPECT_TRUE(volume->invertedAppearance()) << "position 0 at the top";
  EXPECT_EQ(std::pair(volume->minimum(), volume->maximum()), std::pair(0, 64));
  EXPECT_EQ(volume->tickPosition(), QSlider::TicksBothSides);
  EXPECT_EQ(volume->tickInterval(), 8);

  const QList<QSize> iconSizes = dialog_->windowIcon().availableSizes();
  EXPECT_TRUE(iconSizes.contains(QSize(32, 32)) && iconSizes.contains(QSize(16, 16)));
}

TEST_F(PlayerDialogStartTest, TabMovesThroughTheTemplatesTabStopsInOrder) {
  Open();
  // Disabled controls are skipped by Tab, but keep their place in the chain.
  std::vector<std::string> chain;
  QWidget* widget = Button("IDC_PLAY");
  do {
    if (widget->focusPolicy() & Qt::TabFocus) chain.push_back(widget->objectName().toStdString());
    widget = widget->nextInFocusChain();
  } while (widget != Button("IDC_PLAY"));
  EXPECT_EQ(chain, (std::vector<std::string>{"IDC_PLAY", "IDC_STOP", "IDOK", "IDC_POSITION",
                                             "IDC_VOLUME"}));
}

TEST_F(PlayerDialogStartTest, FixedSizeWithEveryControlInsideApartAndReadable) {
  Open();
  EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());
  EXPECT_EQ(dialog_->size(), dialog_->minimumSize());
  EXPECT_EQ(QFontInfo(dialog_->font()).pointSize(), 8);

  const QList<QWidget*> controls =
      dialog_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  ASSERT_EQ(controls.size(), 9);
  const QFontMetrics metrics(dialog_->font());
  for (QWidget* control : controls) {
    const std::string name = control->objectName().toStdString();
    EXPECT_TRUE(dialog_->rect().contains(control->geometry())) << name;
    for (QWidget* other : controls) {
      if (other == control) continue;
      EXPECT_FALSE(control->geometry().intersects(other->geometry()))
          << name << " and " << other->objectName().toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
      EXPECT_GT(button->width(), metrics.horizontalAdvance(button->text())) << name;
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_GE(label->height(), metrics.height()) << name;
      EXPECT_GE(label->width(), metrics.horizontalAdvance(label->text())) << name;
    }
  }
  // Play and Stop share a line; Exit sits a dialog unit higher.
  EXPECT_EQ(Button("IDC_PLAY")->y(), Button("IDC_STOP")->y());
  EXPECT_LT(Button("IDOK")->y(), Button("IDC_PLAY")->y());
}

// The probe reads the device's volume into the slider, from the top six bits
// of the left channel.
class VolumeProbeTest : public PlayerDialogFixture,
                        public testing::WithParamInterface<std::pair<uint32_t, int>> {};

TEST_P(VolumeProbeTest, SetsTheVolumeSliderFromTheLeftChannel) {
  device_.SetDeviceVolume(GetParam().first);
  Open();
  EXPECT_EQ(Slider("IDC_VOLUME")->value(), GetParam().second);
  EXPECT_TRUE(Slider("IDC_VOLUME")->isEnabled());
  EXPECT_FALSE(device_.is_open()) << "the probe is closed again";
}

INSTANTIATE_TEST_SUITE_P(Volumes, VolumeProbeTest,
                         testing::Values(std::pair<uint32_t, int>{0xFFFF, 0},
                                         std::pair<uint32_t, int>{0x8000, 31},
                                         std::pair<uint32_t, int>{0, 63},
                                         std::pair<uint32_t, int>{0x0000FFFF, 0}));

TEST_F(PlayerDialogStartTest, WithoutVolumeControlTheSliderStaysDisabledSilently) {
  device_.SetCapabilities(0);
  Open();
  EXPECT_FALSE(Slider("IDC_VOLUME")->isEnabled());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PlayerDialogStartTest, WithoutADeviceItWarnsAndStillOpens) {
  device_.FailOpen(playback::wave_result::kBadDevice);
  Open();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].caption, "Warning open device");
  EXPECT_EQ(boxes_[0].text, playback::DescribeWaveResult(playback::wave_result::kBadDevice));
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_FALSE(Slider("IDC_VOLUME")->isEnabled());
  EXPECT_TRUE(Button("IDC_PLAY")->isEnabled());
}

TEST_F(PlayerDialogStartTest, ConstructionForgetsTheDecodersEarlierFailure) {
  decoder_.status = 0x40;
  recording_.emplace(std::nullopt);
  dialog_ = std::make_unique<app::PlayerDialog>(device_, *recording_, decoder_, scratch_.path());
  EXPECT_EQ(decoder_.status, 0);
}

TEST(PlayerMessageEvent, BufferReadyMessagesKeepTheirNumbersAndTheRestShareOneType) {
  EXPECT_EQ(app::PlayerMessageEventType(playback::WM_BUFFER_A_READY), 1054);
  EXPECT_EQ(app::PlayerMessageEventType(playback::WM_BUFFER_B_READY), 1064);
  const QEvent::Type other = app::PlayerMessageEventType(playback::MM_WOM_DONE);
  EXPECT_EQ(app::PlayerMessageEventType(playback::WM_HSCROLL), other);
  EXPECT_TRUE(other >= QEvent::User && other != 1054 && other != 1064);
  EXPECT_FALSE(app::IsPlayerMessageEvent(QEvent(QEvent::User)));
}

// Leaves the dialog's picture in the build folder, for a person to look at.
TEST_F(PlayerDialogStartTest, RendersToAPicture) {
  Open();
  const QPixmap picture = dialog_->grab();
  EXPECT_EQ(picture.size(), dialog_->size());
  EXPECT_TRUE(picture.save(QStringLiteral(PLAYER_DIALOG_PNG)));
}

}  // namespace
