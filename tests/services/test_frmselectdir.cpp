#include "formfixture.h"
#include "services/frmselectdir.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
using SelectDir = FormTest;

QString native(const QString& p) { return QDir::toNativeSeparators(QDir::cleanPath(p)); }

int rowOf(const DirListBox* list, const QString& name) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().trimmed() == name) return i;
    return -1;
}
}  // namespace

TEST_F(SelectDir, CancelAndTheTitleBarReturnTwoAndLeaveThePathAsItWas) {
    QTemporaryDir dir;
    frmSelectDir picker;
    picker.InitDir = dir.path();
    answers.pushForm([](QDialog* d) {
        static_cast<frmSelectDir*>(d)->cmdCancel->click();
        return -1;
    });
    EXPECT_EQ(picker.showSelect(), 2);
    EXPECT_TRUE(picker.path.isEmpty());
    answers.pushForm([](QDialog* d) {
        d->close();
        return -1;
    });
    EXPECT_EQ(picker.showSelect(), 2);
    EXPECT_TRUE(picker.path.isEmpty());
    EXPECT_EQ(answers.shown().back().title, "Select Directory");
}

TEST_F(SelectDir, OkReturnsTheOpenedDirectoryNotAMerelyHighlightedOne) {
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("alpha/inner");
    QDir(dir.path()).mkpath("beta");
    frmSelectDir picker;
    picker.InitDir = dir.path();
    answers.pushForm([](QDialog* d) {
        auto* p = static_cast<frmSelectDir*>(d);
        EXPECT_TRUE(p->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        p->Dir1->setCurrentRow(rowOf(p->Dir1, "beta"));  // highlighted only
        p->cmdOk->click();
        return -1;
    });
    EXPECT_EQ(picker.showSelect(), 1);
    EXPECT_EQ(picker.path, native(dir.path()));

    answers.pushForm([](QDialog* d) {
        auto* p = static_cast<frmSelectDir*>(d);
        emit p->Dir1->itemActivated(p->Dir1->item(rowOf(p->Dir1, "alpha")));  // opened
        EXPECT_GE(rowOf(p->Dir1, "inner"), 0);
        p->cmdOk->click();
        return -1;
    });
    EXPECT_EQ(picker.showSelect(), 1);
    EXPECT_EQ(picker.path, native(dir.path() + "/alpha"));
}

TEST_F(SelectDir, AStartDirectoryThatCannotBeOpenedOpensTheCurrentDirectory) {
    for (const QString& start : {QString(), QStringLiteral("/no/such/folder/here"), QStringLiteral("Q:\\missing")}) {
        frmSelectDir picker;
        picker.InitDir = start;
        answers.pushForm([](QDialog* d) {
            static_cast<frmSelectDir*>(d)->cmdOk->click();
            return -1;
        });
        EXPECT_EQ(picker.showSelect(), 1);
        EXPECT_EQ(picker.path, native(QDir::currentPath())) << start.toStdString();
    }
}

TEST_F(SelectDir, ADriveThatIsNotReadyIsReportedAndChangesNothingElse) {
    QTemporaryDir dir;
    frmSelectDir picker;
    picker.InitDir = dir.path();
    answers.pushForm([&](QDialog* d) {
        auto* p = static_cast<frmSelectDir*>(d);
        p->Drive1->addItem("R:\\", "/no-such-drive/");
        p->Drive1->setCurrentIndex(p->Drive1->count() - 1);
        EXPECT_EQ(p->Drive1->currentText(), "R:\\");
        EXPECT_EQ(p->Dir1->path(), native(dir.path()));
        p->cmdOk->click();
        return -1;
    });
    EXPECT_EQ(picker.showSelect(), 1);
    EXPECT_EQ(picker.path, native(dir.path()));
    const auto b = boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].text, "Drive is not ready");
    EXPECT_EQ(b[0].title, "ERROR");
}

TEST_F(SelectDir, ShrinkingSnapsBackAndTheButtonsStayBottomRight) {
    frmSelectDir picker;
    picker.show();
    picker.resize(40, 30);
    const QSize min = picker.size();
    EXPECT_EQ(min, QSize((2700 - 135 + 7) / 15, (2300 - 405 + 7) / 15));
    picker.resize(400, 300);
    EXPECT_EQ(picker.cmdCancel->x() - picker.cmdOk->x(), 80);
    EXPECT_EQ(picker.cmdOk->y(), picker.cmdCancel->y());
    EXPECT_NEAR(picker.cmdCancel->geometry().right(), picker.width() - 5, 1);
    EXPECT_NEAR(picker.cmdCancel->geometry().bottom(), picker.height() - 4, 1);
    EXPECT_EQ(picker.Drive1->width(), picker.Dir1->width());
    EXPECT_LT(picker.Dir1->geometry().bottom(), picker.cmdOk->y());
}
