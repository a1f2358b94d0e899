// Message boxes and the browse dialog as the user meets them: a box stands
// centred on its owner wherever the owner is placed, is wide enough for its
// caption, and is captioned with the program's name by default; under the
// "All (*.*)" filter the browse dialog lists every file, and it opens wide
// enough to show a file's name, size and date uncut.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMessageBox>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QScrollBar>
#include <QTreeView>

#include "gui/main_window.h"
#include "transfer/dialog_on_pty.h"

namespace guitest {
namespace {

template <class T>
T* OpenTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) return found;
    return nullptr;
}

// Runs `inside` once the modal piece opened next is up, from its own loop.
void WhenOpen(QObject& scope, const std::function<void()>& inside) { QTimer::singleShot(0, &scope, inside); }

// The filters as the dialog's type box shows them.
QStringList FilterTexts(const QFileDialog& dialog) {
    QStringList shown;
    if (auto* types = dialog.findChild<QComboBox*>("fileTypeCombo"))
        for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    return shown;
}

QPoint Centre(const QWidget& window) { return window.frameGeometry().center(); }

TEST_F(MainWindow, MessageBoxStaysCentredOnItsOwnerAsTheOwnerIsPlaced) {
    QObject scope;
    EXPECT_EQ(IDOK, Run([&] {
        WhenOpen(scope, [&] {
            QMessageBox* box = OpenTopLevel<QMessageBox>();
            ASSERT_NE(nullptr, box);
            EXPECT_LE((Centre(*box) - Centre(*Window())).manhattanLength(), 2);
            // As a window manager places the window some time after it was shown.
            Window()->move(Window()->pos() + QPoint(240, 160));
            EXPECT_LE((Centre(*box) - Centre(*Window())).manhattanLength(), 2);
            box->button(QMessageBox::Ok)->click();
        });
        m_dlg->MessageBox("Placed");
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, MessageBoxIsWideEnoughForItsCaptionAndNamedAfterTheProgram) {
    const char caption[] = "Zandrel: Unsupported Parameter";
    QObject scope;
    EXPECT_EQ(IDOK, Run([&] {
        WhenOpen(scope, [&] {
            QMessageBox* box = OpenTopLevel<QMessageBox>();
            ASSERT_NE(nullptr, box);
            QFont bold = QApplication::font("QMdiSubWindowTitleBar");
            bold.setBold(true);
            // The caption in a bold title font, beside an icon and three buttons.
            int titleBar = QFontMetrics(bold).horizontalAdvance(caption) +
                           4 * box->style()->pixelMetric(QStyle::PM_TitleBarHeight);
            EXPECT_GE(box->width(), titleBar);
            box->button(QMessageBox::Ok)->click();
        });
        m_dlg->MessageBox("x", caption);
        WhenOpen(scope, [&] {
            QMessageBox* box = OpenTopLevel<QMessageBox>();
            ASSERT_NE(nullptr, box);
            EXPECT_EQ("Zandrel", box->windowTitle());
            box->button(QMessageBox::Ok)->click();
        });
        m_dlg->MessageBox("Incorrect file name");
        m_dlg->EndDialog(IDOK);
    }));
}

TEST_F(MainWindow, AllFilterOfTheBrowseDialogListsFilesWithoutAnExtension) {
    transfertest::WriteFile(Path("Makefile"), "");
    transfertest::WriteFile(Path("notes.txt"), "");
    QObject scope;
    QStringList listedAll, listedText;
    EXPECT_EQ(IDOK, Run([&] {
        WhenOpen(scope, [&] {
            auto* dialog = OpenTopLevel<QFileDialog>();
            ASSERT_NE(nullptr, dialog);
            EXPECT_EQ((QStringList{"Text Files (*.txt)", "All (*.*)"}), FilterTexts(*dialog));
            dialog->setDirectory(QString::fromStdString(m_dir.string()));
            auto* view = dialog->findChild<QAbstractItemView*>("listView");
            ASSERT_NE(nullptr, view);
            auto listed = [&] {
                QStringList names;
                QModelIndex root = view->rootIndex();
                for (int row = 0; row < view->model()->rowCount(root); ++row)
                    names << view->model()->index(row, 0, root).data().toString();
                names.sort();
                return names;
            };
            WaitFor([&] { return listed().contains("notes.txt"); }, 5000);
            listedText = listed();
            dialog->selectNameFilter(dialog->nameFilters().value(1));
            WaitFor([&] { return listed().contains("Makefile"); }, 5000);
            listedAll = listed();
            dialog->reject();
        });
        Click(IDC_BROWSE_SEND);
        m_dlg->EndDialog(IDOK);
    }));
    EXPECT_EQ((QStringList{"notes.txt"}), listedText);
    EXPECT_EQ((QStringList{"Makefile", "notes.txt"}), listedAll);
}


TEST_F(MainWindow, BrowseDialogOpensWideEnoughForANameASizeAndADate) {
    transfertest::WriteFile(Path("placement.txt"), std::string(147, 'x'));
    // More than the view shows at once: a scroll bar takes its share.
    constexpr int kFiles = 60;
    for (int i = 1; i < kFiles; ++i) transfertest::WriteFile(Path("z" + std::to_string(i) + ".txt"), "");
    QObject scope;
    EXPECT_EQ(IDOK, Run([&] {
        WhenOpen(scope, [&] {
            auto* dialog = OpenTopLevel<QFileDialog>();
            ASSERT_NE(nullptr, dialog);
            dialog->setDirectory(QString::fromStdString(m_dir.string()));
            auto* view = dialog->findChild<QTreeView*>("treeView");
            ASSERT_NE(nullptr, view);
            ASSERT_TRUE(view->isVisible());
            const QModelIndex root = view->rootIndex();
            ASSERT_TRUE(WaitFor([&] { return view->model()->rowCount(root) == kFiles; }, 5000));
            view->sortByColumn(0, Qt::AscendingOrder);
            ASSERT_TRUE(WaitFor([&] { return view->verticalScrollBar()->isVisible(); }, 5000));
            const QModelIndex file = view->model()->index(0, 0, root);
            EXPECT_EQ("placement.txt", file.data().toString());
            EXPECT_EQ("147 bytes", file.siblingAtColumn(1).data().toString());
            struct Column {
                int index;
                const char* name;
            };
            for (Column column : {Column{0, "name"}, Column{1, "size"}, Column{3, "date"}}) {
                SCOPED_TRACE(column.name);
                // What the items ask for: icon, text and margins, uncut.
                const QAbstractItemView& items = *view;
                EXPECT_GE(view->header()->sectionSize(column.index), items.sizeHintForColumn(column.index));
                EXPECT_FALSE(view->header()->isSectionHidden(column.index));
            }
            // All of them inside the view, none scrolled out of sight.
            EXPECT_LE(view->header()->length(), view->viewport()->width());
            dialog->reject();
        });
        Click(IDC_BROWSE_SEND);
        m_dlg->EndDialog(IDOK);
    }));
}

}  // namespace
}  // namespace guitest
