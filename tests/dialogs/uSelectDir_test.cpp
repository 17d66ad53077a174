#include "dialogs/uSelectDir.h"

#include <QDir>

#include "support/GuiTest.h"

namespace {

class SelectDirTest : public TGuiTest {
 protected:
  // Runs the dialog with a script playing the user in it.
  bool Run(QString& directory, int options, std::function<void(TSelectDirDlg&)> play, int help = 0) {
    Dialogs.Play<TSelectDirDlg>(std::move(play));
    return SelectDir(nullptr, Dialogs, "Pick one", directory, options, help);
  }
};

// The drive box: on Windows the drives as Windows users write them (Wine's
// are C: and Z:), elsewhere the root first; the current directory's chosen.
void ExpectDrives(const TSelectDirDlg& dialog, const QString& current) {
#ifdef _WIN32
  for (const QString& drive : Items(*dialog.DriveBox))
    EXPECT_TRUE(drive.size() == 3 && drive[0].isLetter() && drive.endsWith(":\\")) << drive.toStdString();
  EXPECT_EQ(dialog.DriveBox->currentText(), current.left(3));
#else
  (void)current;
  EXPECT_EQ(dialog.DriveBox->itemText(0), "/");
#endif
  EXPECT_GE(dialog.DriveBox->currentIndex(), 0);
}

}  // namespace

TEST_F(SelectDirTest, ATypedNewDirectoryIsConfirmedThenCreatedAndCancelKeepsTheOld) {
  WriteBytes("base/keep.txt", "x");
  QString directory = ToQ(Path("base"));
  const QString wanted = ToQ(Path("base/new/deeper"));
  Dialogs.Confirms = {false, true};
  const bool ok = Run(directory, sdAllowCreate | sdPerformCreate | sdPrompt, [&](TSelectDirDlg& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Pick one");
    EXPECT_EQ(dialog.DirEdit->text(), ToQ(Path("base")));
    dialog.DirEdit->setText(wanted);
    dialog.OKButton->click();  // No: the dialog stays, the text as typed
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.DirEdit->text(), wanted);
    // Typed with '/', as Windows takes it too: stored with the system's separator.
    dialog.DirEdit->setText(QDir::fromNativeSeparators(wanted));
    dialog.OKButton->click();  // Yes
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(directory, wanted);
  EXPECT_EQ(Dialogs.Texts("confirm"), (QStringList{"Create this new directory?", "Create this new directory?"}));
  EXPECT_TRUE(QDir(wanted).exists());

  // Cancel creates nothing and leaves the directory as it was.
  directory = ToQ(Path("somewhere"));
  EXPECT_FALSE(Run(directory, 7, [this](TSelectDirDlg& dialog) {
    dialog.DirEdit->setText(ToQ(Path("typed")));
    dialog.CancelButton->click();
  }));
  EXPECT_EQ(directory, ToQ(Path("somewhere")));
  EXPECT_FALSE(Exists("somewhere") || Exists("typed"));
}

TEST_F(SelectDirTest, AnEmptyStartOpensOnTheCurrentDirectoryAndWithoutCreationTheListIsChosen) {
  WriteBytes("file.dpr", "x");
  WriteBytes("sub/inner.txt", "x");
  QString directory;
  EXPECT_TRUE(Run(directory, 7, [&](TSelectDirDlg& dialog) {
    const QString current = QDir::toNativeSeparators(QDir::currentPath());
    EXPECT_EQ(dialog.ListDirectory(), current);
    EXPECT_EQ(dialog.DirEdit->text(), current);
    ExpectDrives(dialog, current);
    ASSERT_EQ(dialog.FileList->count(), 1);
    EXPECT_EQ(dialog.FileList->item(0)->text(), "file.dpr");
    // Without a help context there is no help, and no network dialog here.
    EXPECT_TRUE(dialog.HelpButton->isHidden());
    EXPECT_TRUE(dialog.NetworkButton->isHidden());
    EXPECT_TRUE(dialog.OKButton->isDefault());
    dialog.OKButton->click();
  }));
  EXPECT_EQ(directory, QDir::toNativeSeparators(QDir::currentPath()));

  // Without creation the path label follows the directory list.
  WriteBytes("top/one/a.txt", "x");
  WriteBytes("top/two/b.txt", "x");
  directory = ToQ(Path("top"));
  EXPECT_TRUE(Run(
      directory, 0,
      [&](TSelectDirDlg& dialog) {
        EXPECT_TRUE(dialog.DirEdit->isHidden());
        EXPECT_FALSE(dialog.PathLabel->isHidden());
        EXPECT_TRUE(dialog.HelpButton->isHidden());  // there is no help to show
        // The list: the way down to top, then its two subdirectories.
        const QList<QListWidgetItem*> two = dialog.DirList->findItems("two", Qt::MatchEndsWith);
        ASSERT_EQ(two.size(), 1);
        emit dialog.DirList->itemActivated(two[0]);
        EXPECT_EQ(dialog.PathLabel->Path(), ToQ(Path("top/two")));
        EXPECT_EQ(dialog.FileList->item(0)->text(), "b.txt");
        dialog.OKButton->click();
      },
      10));
  EXPECT_EQ(directory, ToQ(Path("top/two")));
  EXPECT_TRUE(Dialogs.Texts("confirm").isEmpty());
}
