#include "services/frmselectdir.h"

#include "desktop/dialogs.h"
#include "desktop/twips.h"
#include "services/errtrap.h"
#include "services/modglobal.h"
#include "services/modmsgbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

namespace {
constexpr char kObject[] = "frmSelectDir";
using twips::px;
// The sizes of the resize rules are the outer ones; the frame is this much larger than
// the client area.
constexpr int kFrameWidth = 135, kFrameHeight = 405;
constexpr int kMinWidth = 2700, kMinHeight = 2300;

// The drive a path lies on: "C:/" on Windows, "/" elsewhere; empty when it names none.
QString driveOf(const QString& dir) {
    const QString d = QDir::fromNativeSeparators(dir);
    if (d.size() >= 2 && d[1] == QLatin1Char(':')) return d.left(2).toUpper() + QLatin1Char('/');
    if (d.startsWith(QLatin1Char('/'))) return QStringLiteral("/");
    return QString();
}
}  // namespace

// ---- DirListBox ----

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        setPath(item->data(Qt::UserRole).toString());
    });
}

bool DirListBox::setPath(const QString& dir) {
    if (dir.isEmpty()) return false;
    QDir d(dir);
    if (!d.exists() || !d.isReadable()) return false;
    const QString opened = QDir::cleanPath(d.absolutePath());

    QStringList chain;  // the opened directory and its parents, root first
    for (QDir up(opened);; ) {
        chain.prepend(up.absolutePath());
        if (up.isRoot() || !up.cdUp()) break;
    }
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, int level, const QString& name, const QString& full) {
        auto* item = new QListWidgetItem(icon, QString(level * 2, QLatin1Char(' ')) + name, this);
        item->setData(Qt::UserRole, full);
        return item;
    };
    QListWidgetItem* current = nullptr;
    for (int i = 0; i < chain.size(); ++i) {
        const QDir c(chain[i]);
        current = add(open, i, c.isRoot() ? QDir::toNativeSeparators(chain[i]) : c.dirName(), chain[i]);
    }
    for (const QString& sub : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
        add(closed, chain.size(), sub, QDir(opened).filePath(sub));
    setCurrentItem(current);
    m_path = QDir::toNativeSeparators(opened);
    return true;
}

// ---- frmSelectDir ----

frmSelectDir::frmSelectDir(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::fromLatin1(kObject));
    setWindowTitle(QStringLiteral("Select Directory"));
    setMinimumSize(px(kMinWidth - kFrameWidth), px(kMinHeight - kFrameHeight));

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    for (const QFileInfo& drive : QDir::drives()) Drive1->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()), drive.absoluteFilePath());
    Drive1->setGeometry(px(120), px(120), px(3375), px(315));

    Dir1 = new DirListBox(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(px(120), px(480), px(3375), px(2115));

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setGeometry(px(1200), px(2680), px(1095), px(375));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(px(2400), px(2680), px(1095), px(375));
    cmdOk->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);

    connect(cmdOk, &QPushButton::clicked, this, &frmSelectDir::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSelectDir::cmdCancel_Click);
    connect(Drive1, &QComboBox::currentIndexChanged, this, &frmSelectDir::Drive1_Change);
    resize(px(3555), px(3105));
}

frmSelectDir::~frmSelectDir() {
    if (m_loaded) modGlobal::g_unregisterWindow(this);
}

void frmSelectDir::Form_Load() {
    trap(kObject, "Form_Load", [&] {
        m_result = 2;
        m_loaded = true;
        modGlobal::g_registerWindow(this);
    });
}

void frmSelectDir::unload() {
    hide();  // also ends the modal showing
    if (m_loaded) {
        m_loaded = false;
        modGlobal::g_unregisterWindow(this);
    }
}

bool frmSelectDir::openAt(const QString& dir) {
    const QString drive = driveOf(dir);
    const int index = drive.isEmpty() ? -1 : Drive1->findData(drive, Qt::UserRole, Qt::MatchFixedString);
    if (index < 0 || !QStorageInfo(drive).isReady()) return false;
    Drive1->setCurrentIndex(index);
    return Dir1->setPath(dir);
}

short frmSelectDir::showSelect() {
    trap(kObject, "showSelect", [&] {
        if (!m_loaded) Form_Load();
        setWindowIcon(QApplication::windowIcon());
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        // A start folder that cannot be opened is no failure: the picker opens at the
        // current directory instead.
        if (!openAt(InitDir)) openAt(QDir::currentPath());
        if (QWidget* owner = parentWidget() ? parentWidget() : QApplication::activeWindow(); owner && owner != this)
            move(owner->frameGeometry().center() - rect().center());
        Dialogs::showModal(this);
    });
    return m_result;
}

void frmSelectDir::cmdOk_Click() {
    trap(kObject, "cmdOk_Click", [&] {
        m_result = 1;
        path = Dir1->path();
        unload();
    });
}

void frmSelectDir::cmdCancel_Click() {
    trap(kObject, "cmdCancel_Click", [&] {
        m_result = 2;
        unload();
    });
}

// Closing through the title bar leaves the result at Cancel.
void frmSelectDir::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}
void frmSelectDir::reject() { unload(); }

void frmSelectDir::Drive1_Change() {
    // Errors ignored: a drive that is not ready is reported and changes nothing else.
    try {
        if (!Dir1->setPath(Drive1->currentData().toString())) modMsgBox::g_errorMsgBox(QStringLiteral("Drive is not ready"), QString(), true);
    } catch (...) {
    }
}

void frmSelectDir::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    Form_Resize();
}

void frmSelectDir::Form_Resize() {
    trap(kObject, "Form_Resize", [&] {
        int w = twips::fromPx(width()) + kFrameWidth;
        int h = twips::fromPx(height()) + kFrameHeight;
        if (h < kMinHeight || w < kMinWidth) {
            resize(px(std::max(w, kMinWidth) - kFrameWidth), px(std::max(h, kMinHeight) - kFrameHeight));
            return;  // the resize comes back here with the snapped size
        }
        Dir1->setGeometry(Dir1->x(), Dir1->y(), px(w - 315), px(h - 1395));
        Drive1->resize(Dir1->width(), Drive1->height());
        cmdCancel->move(px(w - 1295), px(h - 830));
        cmdOk->move(cmdCancel->x() - px(1200), cmdCancel->y());
    });
}
