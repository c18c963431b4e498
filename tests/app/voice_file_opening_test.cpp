// A voice file on disk in place of the embedded recording, dropped on the
// dialog as a file manager drops it: the stream stops, the labels show the
// file, and Play reads it where it lies. A file the decoder cannot open
// leaves the player as it was, after the decoder's message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "player_dialog_fixture.h"

namespace {

using app_testing::PlayerDialogFixture;

class VoiceFileOpeningTest : public PlayerDialogFixture {
 protected:
  // Dragged in and dropped; false when the dialog refused the drag.
  bool Drop(const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint point = dialog_->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(dialog_.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_.get(), &drop);
    Pump();
    return true;
  }
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
  std::string Labels() {
    return Text("IDC_FILENAME") + "|" + Text("IDC_DURATION") + "|" + Text("IDC_ELAPSED") + "|" +
           Text("IDC_PLAY");
  }
};

TEST_F(VoiceFileOpeningTest, ADroppedFileStopsTheStreamAndPlaysWhereItLies) {
  Open(1000);
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(3));

  ASSERT_TRUE(Drop(SAMPLE_VOICE_PATH));
  EXPECT_FALSE(device_.is_open()) << "the stream stopped";
  EXPECT_EQ(Labels(),
            "Voice filename: sample.voc|Voice duration: 00:00:03|Elapsed time: 00:00:00|&Play");
  EXPECT_FALSE(Button("IDC_STOP")->isEnabled());
  EXPECT_FALSE(Slider("IDC_POSITION")->isEnabled());
  EXPECT_EQ(Slider("IDC_POSITION")->value(), 0);
  EXPECT_EQ(dialog_->windowTitle().toStdString(), "Vantor Digital Voice Player");

  const size_t before = device_.played().size();
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  EXPECT_TRUE(scratch_.entries().empty()) << "a copy of the file, or of the old recording";
  while (dialog_->engine().state().playing) {
    ASSERT_TRUE(device_.PlayNextBuffer());
    ASSERT_TRUE(PumpUntil([this] { return !dialog_->engine().state().playing || Streaming(); }));
  }
  std::ifstream in(SAMPLE_VOICE_PATH, std::ios::binary);
  const playback_testing::Bytes file{std::istreambuf_iterator<char>(in), {}};
  const playback_testing::Bytes heard(device_.played().begin() + static_cast<ptrdiff_t>(before),
                                      device_.played().end());
  EXPECT_EQ(heard, playback_testing::DecodeWhole(file));
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:03");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(VoiceFileOpeningTest, AFileTheDecoderCannotOpenLeavesThePlayerAsItWas) {
  const std::filesystem::path folder = scratch_.path();
  std::ofstream(folder / "notes.voc") << "Not a voice file, however it is named.\n";
  ASSERT_EQ(mkfifo((folder / "pipe.voc").c_str(), 0600), 0);
  Open(1000);
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(3));
  const std::string labels = Labels();

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"notes.voc", "Bad file format"},
      {"missing.voc", "Error opening file!!"},
      {"pipe.voc", "Error opening file!!"},  // opened, it would wait for a writer
  };
  for (const auto& [name, message] : refused) {
    boxes_.clear();
    ASSERT_TRUE(Drop((folder / name).string())) << name;
    ASSERT_EQ(boxes_.size(), 1u) << name;
    EXPECT_EQ(boxes_[0].caption + ": " + boxes_[0].text, "Warning Decoding: " + message);
    EXPECT_TRUE(Streaming()) << name;
    EXPECT_EQ(Labels(), labels) << name;
  }
  ASSERT_TRUE(PlayBuffers(3)) << "the stream goes on";
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:02");
}

}  // namespace
