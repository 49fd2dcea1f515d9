// Tests of the folder picker, driven through the real dialog from a timer.
#include "basBrowseFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QWidget>

#include "UiTestSupport.h"

namespace basBrowseFolder {
namespace {

using morvex::testing::ModalDriver;

struct SeenDialog {
  QString title;
  QString directory;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  bool dirsOnly = false;
  bool modal = false;
  QWidget* parent = nullptr;
};

// Looks at the dialog that opened, then lets finish close it.
ModalDriver Drive(SeenDialog& seen, std::function<void(QFileDialog*)> finish) {
  return ModalDriver([&seen, finish = std::move(finish)](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << "not a file dialog: " << modal->metaObject()->className();
    seen.title = dialog->windowTitle();
    seen.directory = QDir::cleanPath(dialog->directory().absolutePath());
    seen.mode = dialog->fileMode();
    seen.dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
    seen.modal = dialog->isModal();
    seen.parent = dialog->parentWidget();
    finish(dialog);
  });
}

class BrowseFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("Projects/Anlage Ørsted 項目")));
    owner.show();
  }
  QString Folder(const QString& relative) const { return QDir::cleanPath(root.path() + QLatin1Char('/') + relative); }

  QTemporaryDir root;
  QWidget owner;
  SeenDialog seen;
};

TEST_F(BrowseFolderTest, CancelGivesBackTheStartPathEvenWhenEmpty) {
  for (const std::string& start : {std::string(), std::string("/no/such/folder "),
                                      Folder(QStringLiteral("Projects")).toStdString()}) {
    auto driver = Drive(seen, [](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(BrowseFolder(&owner, "Select User Folder", start, false), start);
    EXPECT_EQ(driver.Handled(), 1);
  }
}

TEST_F(BrowseFolderTest, OpensModalOnTheStartFolderShowingFoldersOnlyAndTheTitle) {
  const QString start = Folder(QStringLiteral("Projects"));
  auto driver = Drive(seen, [](QFileDialog* dialog) { dialog->reject(); });
  BrowseFolder(&owner, "Select User Folder", start.toStdString(), false);
  EXPECT_EQ(seen.title, QStringLiteral("Select User Folder"));
  EXPECT_EQ(seen.directory, start);
  EXPECT_EQ(seen.mode, QFileDialog::Directory);
  EXPECT_TRUE(seen.dirsOnly);
  EXPECT_TRUE(seen.modal);
  EXPECT_EQ(seen.parent, &owner);
}

TEST_F(BrowseFolderTest, EmptyOrMissingStartOpensOnTheHomeFolder) {
  for (const std::string& start : {std::string(), std::string("/no/such/folder")}) {
    auto driver = Drive(seen, [](QFileDialog* dialog) { dialog->reject(); });
    BrowseFolder(&owner, "Select User Folder", start, false);
    EXPECT_EQ(seen.directory, QDir::cleanPath(QDir::homePath()));
  }
}

TEST_F(BrowseFolderTest, AcceptingGivesTheFullUnicodePathWithoutTrailingSeparator) {
  const QString chosen = Folder(QStringLiteral("Projects/Anlage Ørsted 項目"));
  auto driver = Drive(seen, [&](QFileDialog* dialog) {
    dialog->setDirectory(chosen);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(BrowseFolder(&owner, "Select User Folder", Folder(QStringLiteral("Projects")).toStdString(), false),
            chosen.toStdString());
}

TEST_F(BrowseFolderTest, ChoosingTheRootKeepsItsSeparator) {
  auto driver = Drive(seen, [](QFileDialog* dialog) {
    dialog->setDirectory(QStringLiteral("/"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(BrowseFolder(&owner, "Select User Folder", "", false), "/");
}

}  // namespace
}  // namespace basBrowseFolder
