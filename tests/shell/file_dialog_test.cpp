#include "shell/file_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/encoding.h"
#include "tests/shell/dialog_driver.h"

namespace vantrelo {

static void PrintTo(const Text& text, std::ostream* out) { *out << '"' << textToUtf8(text) << '"'; }

namespace {

namespace fs = std::filesystem;

using namespace dialog_driver;

class FileDialogTest : public testing::Test {
protected:
    void SetUp() override {
        m_startFolder = QDir::currentPath();
        m_dir = fs::temp_directory_path() /
                ("vantrelo-dialog-" + std::to_string(::getpid()) + "-" +
                 testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "pictures");
        std::ofstream(m_dir / "pictures" / "face.jpg") << "jpeg";
        std::ofstream(m_dir / "pictures" / "old.bmp") << "bmp";
        m_owner.show();
    }
    void TearDown() override {
        expectNothingAwaited();
        QDir::setCurrent(m_startFolder);
        fs::remove_all(m_dir);
    }

    QWidget m_owner;
    FileDialog m_dialog;
    fs::path m_dir;
    QString m_startFolder;
};

TEST_F(FileDialogTest, StartsWithTheComponentDefaultsAndBringsValuesIntoRange) {
    EXPECT_EQ(m_dialog.kind(), FileDialogKind::Open);
    EXPECT_TRUE(m_dialog.title().empty());
    EXPECT_TRUE(m_dialog.fileName().empty());
    EXPECT_TRUE(m_dialog.filter().empty());
    EXPECT_EQ(m_dialog.filterIndex(), 0);
    EXPECT_TRUE(m_dialog.initialFolder().empty());
    EXPECT_TRUE(m_dialog.defaultExtension().empty());
    EXPECT_FALSE(m_dialog.hasOption(FileDialogOption::AskToCreate));
    EXPECT_TRUE(m_dialog.hasOption(FileDialogOption::FileMustExist));
    EXPECT_TRUE(m_dialog.hasOption(FileDialogOption::ConfirmReplace));
    EXPECT_TRUE(m_dialog.hasOption(FileDialogOption::PathMustExist));
    EXPECT_FALSE(m_dialog.hasOption(FileDialogOption::KeepCurrentFolder));

    m_dialog.setFilterIndex(-4);
    EXPECT_EQ(m_dialog.filterIndex(), 0);
    m_dialog.setKind(static_cast<FileDialogKind>(3));  // the font dialog, or beyond
    EXPECT_EQ(m_dialog.kind(), FileDialogKind::Save);
    m_dialog.setKind(static_cast<FileDialogKind>(-1));
    EXPECT_EQ(m_dialog.kind(), FileDialogKind::Open);
}

TEST(FileDialogFilter, BecomesOneQtNameFilterPerEntry) {
    struct Case {
        const char* filter;  // GBK
        QStringList expected;
    };
    // 图片文件 = \xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE
    const QString pictures = QString::fromUtf8("\xE5\x9B\xBE\xE7\x89\x87\xE6\x96\x87\xE4\xBB\xB6");
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif",
         {pictures + "(*.bmp;*.jpg;*.gif) (*.bmp *.jpg *.gif)"}},
        {"\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp)|*.bmp", {pictures + "(*.bmp) (*.bmp)"}},
        {"Pictures|*.bmp||  \r\n", {"Pictures (*.bmp)"}},
        {"Pictures|*.bmp|All|*.*", {"Pictures (*.bmp)", "All (*.*)"}},
        {"Pictures|*.bmp; *.jpg ;;|All|*", {"Pictures (*.bmp *.jpg)", "All (*)"}},
        {"Pictures|*.bmp||All|*", {"Pictures (*.bmp)"}},  // the list ends at "||"
        {"Pictures|*.bmp|Odd", {"Pictures (*.bmp)"}},     // an entry without patterns ends it too
        {"|*.bmp", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(qtNameFilters(Text(c.filter)), c.expected) << c.filter;
}

TEST_F(FileDialogTest, OpensWithItsSettings) {
    m_dialog.setKind(FileDialogKind::Save);
    m_dialog.setTitle(Text("Save the card"));
    m_dialog.setFilter(Text("Bitmaps|*.bmp|Pictures|*.jpg;*.gif"));
    m_dialog.setFilterIndex(1);
    m_dialog.setFileName(t(m_dir / "pictures" / "old.bmp"));
    m_dialog.setInitialFolder(t(m_dir));  // the file name's folder wins
    m_dialog.setDefaultExtension(Text("bmp"));
    bool seen = false;
    whenShown<QFileDialog>([&](QFileDialog* d) {
        seen = true;
        EXPECT_EQ(d->parentWidget(), &m_owner);
        EXPECT_TRUE(d->isModal());
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(d->windowTitle(), "Save the card");
        EXPECT_EQ(d->nameFilters(), QStringList({"Bitmaps (*.bmp)", "Pictures (*.jpg *.gif)"}));
        EXPECT_EQ(d->selectedNameFilter(), "Pictures (*.jpg *.gif)");
        EXPECT_EQ(d->directory().absolutePath(), q(m_dir / "pictures"));
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text(), "old.bmp");
        EXPECT_EQ(d->defaultSuffix(), "bmp");
        d->reject();
    });
    EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Cancelled);
    EXPECT_TRUE(seen);

    // Open kind, a bare file name, an index past the end: the initial folder
    // is shown, the first entry selected, only existing files accepted.
    m_dialog.setKind(FileDialogKind::Open);
    m_dialog.setTitle(Text());
    m_dialog.setFileName(Text("face.jpg"));
    m_dialog.setInitialFolder(t(m_dir / "pictures"));
    m_dialog.setFilterIndex(5);
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(d->selectedNameFilter(), "Bitmaps (*.bmp)");
        EXPECT_EQ(d->directory().absolutePath(), q(m_dir / "pictures"));
        EXPECT_EQ(d->findChild<QLineEdit*>("fileNameEdit")->text(), "face.jpg");
        EXPECT_EQ(d->defaultSuffix(), "bmp");  // kept from the first use
        d->reject();
    });
    EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Cancelled);
}

TEST_F(FileDialogTest, AChosenFileBecomesTheFileNameAndTheCurrentFolder) {
    m_dialog.setInitialFolder(t(m_dir / "pictures"));
    whenShown<QFileDialog>([&](QFileDialog* d) { chooseIn(d, "face.jpg"); });
    ASSERT_EQ(m_dialog.open(&m_owner), FileDialogResult::Chosen);
    EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / "face.jpg"));
    EXPECT_EQ(QDir::currentPath(), q(m_dir / "pictures"));

    // Cancelled: nothing changes.
    QDir::setCurrent(q(m_dir));
    whenShown<QFileDialog>([&](QFileDialog* d) {
        typeName(d, "old.bmp");
        d->reject();
    });
    EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Cancelled);
    EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / "face.jpg"));
    EXPECT_EQ(QDir::currentPath(), q(m_dir));

    // Keep current folder on: the choice is still taken, the folder stays.
    m_dialog.enableOption(FileDialogOption::KeepCurrentFolder);
    whenShown<QFileDialog>([&](QFileDialog* d) { chooseIn(d, "old.bmp"); });
    ASSERT_EQ(m_dialog.open(&m_owner), FileDialogResult::Chosen);
    EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / "old.bmp"));
    EXPECT_EQ(QDir::currentPath(), q(m_dir));
}

TEST_F(FileDialogTest, ATypedNameWithoutExtensionGetsTheDefaultOne) {
    m_dialog.setKind(FileDialogKind::Save);
    m_dialog.setDefaultExtension(Text("bmp"));
    m_dialog.setFileName(t(m_dir / "pictures" / "face.jpg"));
    // A folder of the typed name in the current folder, not in the one shown,
    // must not keep the extension away.
    fs::create_directories(m_dir / "card");
    QDir::setCurrent(q(m_dir));
    struct Case {
        const char* typed;
        const char* saved;
    };
    for (const Case& c : {Case{"card", "card.bmp"}, Case{"card.png", "card.png"}, Case{"my.card", "my.card"}}) {
        whenShown<QFileDialog>([&](QFileDialog* d) { chooseIn(d, c.typed); });
        ASSERT_EQ(m_dialog.open(&m_owner), FileDialogResult::Chosen) << c.typed;
        EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / c.saved)) << c.typed;
    }
}

TEST_F(FileDialogTest, ReplacingAFileIsConfirmedFirst) {
    m_dialog.setKind(FileDialogKind::Save);
    m_dialog.setFileName(t(m_dir / "pictures" / "old.bmp"));
    // No: the dialog stays open with its name; the user then cancels.
    bool asked = false;
    whenShown<QFileDialog>([&](QFileDialog* d) {
        whenShown<QMessageBox>([&](QMessageBox* box) {
            asked = true;
            EXPECT_EQ(box->icon(), QMessageBox::Warning);
            EXPECT_TRUE(box->text().startsWith(q(m_dir / "pictures" / "old.bmp")));
            box->button(QMessageBox::No)->click();
        });
        acceptButton(d)->click();
        EXPECT_TRUE(d->isVisible());
        d->reject();
    });
    EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Cancelled);
    EXPECT_TRUE(asked);

    // Yes: the name is taken.
    m_dialog.setFileName(Text());
    m_dialog.setInitialFolder(t(m_dir / "pictures"));
    whenShown<QFileDialog>([&](QFileDialog* d) {
        whenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        chooseIn(d, "old.bmp");
    });
    ASSERT_EQ(m_dialog.open(&m_owner), FileDialogResult::Chosen);
    EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / "old.bmp"));

    // Confirm replace off: no question.
    m_dialog.disableOption(FileDialogOption::ConfirmReplace);
    whenShown<QFileDialog>([&](QFileDialog* d) {
        chooseIn(d, "old.bmp");
        EXPECT_FALSE(d->isVisible());
    });
    EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Chosen);
}

// The names the dialog refuses: it warns and stays open.
TEST_F(FileDialogTest, RefusesNamesInMissingFoldersAndMissingFilesToOpen) {
    struct Case {
        FileDialogKind kind;
        fs::path typed;
    };
    const Case cases[] = {
        {FileDialogKind::Save, m_dir / "missing" / "card.bmp"},
        {FileDialogKind::Open, m_dir / "missing" / "face.jpg"},
        {FileDialogKind::Open, m_dir / "pictures" / "nobody.jpg"},
    };
    m_dialog.setFileName(Text("before"));
    for (const Case& c : cases) {
        m_dialog.setKind(c.kind);
        bool warned = false;
        whenShown<QFileDialog>([&](QFileDialog* d) {
            whenShown<QMessageBox>([&](QMessageBox* box) {
                warned = true;
                EXPECT_EQ(box->icon(), QMessageBox::Warning);
                box->button(QMessageBox::Ok)->click();
            });
            typeName(d, q(c.typed));
            QMetaObject::invokeMethod(d, "accept");  // what the button does when Qt lets it be pressed
            EXPECT_TRUE(d->isVisible());
            d->reject();
        });
        EXPECT_EQ(m_dialog.open(&m_owner), FileDialogResult::Cancelled) << c.typed;
        EXPECT_TRUE(warned) << c.typed;
    }
    EXPECT_EQ(m_dialog.fileName(), Text("before"));
    EXPECT_FALSE(fs::exists(m_dir / "missing"));
}

TEST_F(FileDialogTest, AsksBeforeTakingANewNameWhenAskToCreateIsOn) {
    m_dialog.setKind(FileDialogKind::Save);
    m_dialog.enableOption(FileDialogOption::AskToCreate);
    m_dialog.setInitialFolder(t(m_dir / "pictures"));
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        bool asked = false;
        whenShown<QFileDialog>([&](QFileDialog* d) {
            whenShown<QMessageBox>([&](QMessageBox* box) {
                asked = true;
                box->button(answer)->click();
            });
            chooseIn(d, "new.bmp");
            if (d->isVisible()) d->reject();
        });
        const FileDialogResult r = m_dialog.open(&m_owner);
        EXPECT_TRUE(asked);
        EXPECT_EQ(r, answer == QMessageBox::Yes ? FileDialogResult::Chosen : FileDialogResult::Cancelled);
    }
    EXPECT_EQ(m_dialog.fileName(), t(m_dir / "pictures" / "new.bmp"));
}

}  // namespace
}  // namespace vantrelo
