// The sound tests drive real widgets, and an audio device that posts its
// notifications through Qt's event loop; both need a QApplication. Without a
// display they draw on Qt's offscreen platform. The application lives in
// main(), so that it is gone, with everything Qt keeps for it, before the
// process ends. The player's remembered settings go to a folder of the
// test's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
