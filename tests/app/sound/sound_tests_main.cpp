// The sound tests drive real widgets, and an audio device that posts its
// notifications through Qt's event loop; both need a QApplication. Without a
// display they draw on Qt's offscreen platform. The application lives in
// main(), so that it is gone, with everything Qt keeps for it, before the
// process ends.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
