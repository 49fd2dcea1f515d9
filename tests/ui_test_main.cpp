// Entry point of the window tests: an offscreen application and a settings store of the test's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

#include "ReportView.h"
#include "frmStatusBar.h"

int main(int argc, char** argv) {
  // Headless by default, so the suite runs on build machines; an explicit platform still wins.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  morvex::InstallReportViewAccessibility();
  morvex::InstallStatusBarAccessibility();

  // Each test process gets its own store: ctest runs cases side by side and the user's own stays untouched.
  QTemporaryDir settingsDir;
  if (!settingsDir.isValid()) return 2;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
  return RUN_ALL_TESTS();
}
