#include "services/frmmessage2.h"

#include "desktop/dialogs.h"
#include "desktop/timeservice.h"
#include "desktop/twips.h"
#include "services/errtrap.h"
#include "services/loglines.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace {
constexpr char kObject[] = "frmMessage2";
using twips::px;
using twips::twipRect;

// Design client area and the outer frame the window's heights are given with.
constexpr int kClientWidth = 4755, kClientHeight = 3090, kFrameHeight = 410;
constexpr int kListTop = 120, kListHeight = 2410, kButtonTop = 2600;
constexpr int kLeftFirst = 2160, kLeftSecond = 3480;

frmMessage2* g_shared = nullptr;

// The text box breaks lines at CR LF, a lone CR and a lone LF alike.
QString lineBreaks(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}
}  // namespace

frmMessage2& frmMessage2::instance() {
    if (!g_shared) g_shared = new frmMessage2;
    return *g_shared;
}

frmMessage2* frmMessage2::existing() { return g_shared; }

frmMessage2::frmMessage2() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                                                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint) {
    setObjectName(QString::fromLatin1(kObject));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    txtMessage->setGeometry(twipRect(120, 120, 4500, 1935));

    lstMessage = new QListWidget(this);
    lstMessage->setObjectName(QStringLiteral("lstMessage"));
    lstMessage->setFont(QFont(QStringLiteral("Arial"), 8));
    lstMessage->setAutoFillBackground(true);
    // The list takes the focus only from the user, never from a window being shown, as
    // its focus stops the auto-close.
    lstMessage->setFocusPolicy(Qt::ClickFocus);
    lstMessage->installEventFilter(this);
    connect(lstMessage->verticalScrollBar(), &QScrollBar::actionTriggered, this, &frmMessage2::lstMessage_Scroll);
    connect(lstMessage->horizontalScrollBar(), &QScrollBar::actionTriggered, this, &frmMessage2::lstMessage_Scroll);

    auto button = [this](const char* name, const char* caption, void (frmMessage2::*slot)()) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->resize(px(1150), px(350));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    cmdOk = button("cmdOk", "OK", &frmMessage2::cmdOk_Click);
    cmdYes = button("cmdYes", "Yes", &frmMessage2::cmdYes_Click);
    cmdNo = button("cmdNo", "No", &frmMessage2::cmdNo_Click);
    cmdCancel = button("cmdCancel", "Cancel", &frmMessage2::cmdCancel_Click);

    auto icon = [this](const char* name, QStyle::StandardPixmap which) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setPixmap(style()->standardIcon(which).pixmap(32, 32));
        l->setGeometry(twipRect(120, kButtonTop, 480, 480));  // on the button row, cut off with it
        return l;
    };
    imgInformation = icon("imgInformation", QStyle::SP_MessageBoxInformation);
    imgError = icon("imgError", QStyle::SP_MessageBoxCritical);
    imgQuestion = icon("imgQuestion", QStyle::SP_MessageBoxQuestion);
    imgExclamation = icon("imgExclamation", QStyle::SP_MessageBoxWarning);

    prgBar = new QProgressBar(this);
    prgBar->setObjectName(QStringLiteral("prgBar"));
    prgBar->setGeometry(twipRect(120, 2160, 4500, 300));
    prgBar->hide();

    timExit = new KTimer(this);
    connect(timExit, &KTimer::timeout, this, &frmMessage2::timExit_Timer);
}

// ---- load and unload ----

void frmMessage2::load() {
    if (!m_loaded) Form_Load();
}

void frmMessage2::Form_Load() {
    trap(kObject, "Form_Load", [&] {
        // The controls as designed: what an unload leaves behind is gone.
        setWindowIcon(QApplication::windowIcon());
        setTopmost(false);
        setFixedHeight(px(kClientHeight));
        lstMessage->clear();
        lstMessage->setGeometry(twipRect(100, kListTop, 4545, kListHeight));
        QPalette pal = lstMessage->palette();
        pal.setColor(QPalette::Base, palette().color(QPalette::Button));
        lstMessage->setPalette(pal);
        txtMessage->clear();
        cmdYes->setText(QStringLiteral("Yes"));
        cmdNo->setText(QStringLiteral("No"));
        timExit->setEnabled(false);
        timExit->setInterval(5000);
        m_centre = true;
        m_loaded = true;
        modGlobal::g_registerWindow(this);
    });
}

void frmMessage2::Form_Unload() {
    trap(kObject, "Form_Unload", [&] {
        m_loaded = false;
        modGlobal::g_unregisterWindow(this);
    });
}

void frmMessage2::unload() {
    if (!m_loaded) {
        hide();
        return;
    }
    timExit->setEnabled(false);
    hide();  // also ends a modal showing
    Form_Unload();
}

void frmMessage2::closeEvent(QCloseEvent* e) {
    e->accept();
    unload();
}

void frmMessage2::reject() { unload(); }

// ---- the three boxes ----

void frmMessage2::prepare(Kind kind, const QString& title) {
    if (isVisible()) unload();
    load();
    QString caption = title;
    if (caption.isEmpty())
        caption = kind == Kind::Information ? QStringLiteral("INFORMATION")
                  : kind == Kind::Error     ? QStringLiteral("ERROR")
                                            : QStringLiteral("QUESTION");
    setWindowTitle(caption);

    const bool question = kind == Kind::Question;
    cmdOk->setVisible(!question);
    cmdYes->setVisible(question);
    cmdNo->setVisible(question);
    cmdCancel->setVisible(false);
    // Return presses the kind's first button.
    cmdOk->setDefault(!question);
    cmdYes->setDefault(question);
    prgBar->setVisible(false);
    imgInformation->setVisible(kind == Kind::Information);
    imgError->setVisible(kind == Kind::Error);
    imgQuestion->setVisible(question);
    imgExclamation->setVisible(false);

    lstMessage->setGeometry(px(100), px(kListTop), px(4545), px(kListHeight));
    cmdOk->move(px(kLeftSecond), px(kButtonTop));
    cmdYes->move(px(kLeftFirst), px(kButtonTop));
    cmdNo->move(px(kLeftSecond), px(kButtonTop));
}

void frmMessage2::startTimer(qint32 ms) {
    timExit->setInterval(ms);
    timExit->setEnabled(true);
}

void frmMessage2::setTopmost(bool on) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) setWindowFlag(Qt::WindowStaysOnTopHint, on);
}

void frmMessage2::present(bool modal) {
    if (m_centre) {
        // Centred on the window it belongs to, or on the screen when there is none.
        QWidget* owner = QApplication::activeWindow();
        const QRect area = owner && owner != this ? owner->frameGeometry()
                           : screen()                ? screen()->availableGeometry()
                                                     : QRect();
        if (area.isValid()) move(area.center() - rect().center());
        m_centre = false;
    }
    if (modal) {
        Dialogs::showModal(this);
    } else {
        show();
        repaint();
    }
}

void frmMessage2::informationMsgBox(const QString& message_, const QString& title_, bool modal_, qint32 exitTime_,
                                    bool hideButtons_, bool show_) {
    trap(kObject, "informationMsgBox", [&] {
        prepare(Kind::Information, title_);
        if (hideButtons_) hideButtons(true);
        if (exitTime_ > 0) startTimer(exitTime_);
        lstMessage->clear();
        // The box shows its own text in every mode; only the log stays silent in update mode.
        appendLines(message_);
        lstMessage->show();
        txtMessage->hide();
        m_errorFlag = false;
        if (show_) {
            if (modal_) setTopmost(true);
            present(modal_);
        }
    });
}

void frmMessage2::errorMsgBox(const QString& message_, const QString& title_, bool modal_, qint32 exitTime_) {
    trap(kObject, "errorMsgBox", [&] {
        prepare(Kind::Error, title_);
        if (exitTime_ > 0) startTimer(exitTime_);
        txtMessage->setPlainText(lineBreaks(message_));
        lstMessage->hide();
        txtMessage->show();
        m_errorFlag = false;
        if (modal_) setTopmost(true);
        present(modal_);
    });
}

bool frmMessage2::questionMsgBox(const QString& message_, const QString& title_, const QString& captionBtn1_,
                                 const QString& captionBtn2_, bool useWarningStyle_) {
    trap(kObject, "questionMsgBox", [&] {
        prepare(Kind::Question, title_);
        imgQuestion->setVisible(!useWarningStyle_);
        imgExclamation->setVisible(useWarningStyle_);
        cmdYes->setText(captionBtn1_);
        cmdNo->setText(captionBtn2_);
        timExit->setEnabled(false);
        txtMessage->setPlainText(lineBreaks(message_));
        lstMessage->hide();
        txtMessage->show();
        m_errorFlag = false;
        // A window closed by its title bar must not answer with an earlier Yes.
        m_okFlag = m_cancelFlag = m_yesFlag = m_noFlag = 0;
        setTopmost(true);
        present(true);
    });
    return m_yesFlag == -1;
}

void frmMessage2::closeMsgBox(qint32 exitTime_) {
    trap(kObject, "closeMsgBox", [&] {
        if (exitTime_ > 0) {
            load();
            startTimer(exitTime_);
        }
    });
}

// ---- the log ----

void frmMessage2::appendLines(const QString& text) {
    for (const QString& line : logLines::split(text)) {
        lstMessage->addItem(line);
        lstMessage->setCurrentRow(lstMessage->count() - 1);
        lstMessage->clearSelection();
    }
}

void frmMessage2::addMessage(const QString& message_) {
    trap(kObject, "addMessage", [&] {
        if (modGlobal::g_updateMode) return;
        if (!m_loaded) {
            informationMsgBox(message_, QString(), false, 10000, false, true);
        } else {
            appendLines(message_);
            repaint();
            if (timExit->isEnabled()) {
                timExit->setEnabled(false);
                timExit->setEnabled(true);
            }
        }
        lstMessage->show();
        txtMessage->hide();
        raise();
    });
}

bool frmMessage2::errorSignal(bool setState_) {
    trap(kObject, "errorSignal", [&] {
        if (!setState_) return;
        load();
        m_errorFlag = true;
        QPalette pal = lstMessage->palette();
        pal.setColor(QPalette::Base, QColor(255, 128, 128));
        lstMessage->setPalette(pal);
        timExit->setEnabled(false);
    });
    return m_errorFlag;
}

void frmMessage2::hideButtons(bool hide_) {
    trap(kObject, "hideButtons", [&] {
        load();
        // The heights are the window's outer ones; the client area is the frame less, and
        // a hidden button row must not peek out under a thinner frame.
        const int client = (hide_ ? lstMessage->height() * 15 + 120 + 500 : 3500) - kFrameHeight;
        setFixedHeight(px(hide_ ? std::min(client, kButtonTop) : client));
    });
}

// ---- events ----

void frmMessage2::pressed(qint32& flag, const char* procedure) {
    trap(kObject, procedure, [&] {
        m_okFlag = m_cancelFlag = m_yesFlag = m_noFlag = 0;
        flag = -1;
        unload();
    });
}

void frmMessage2::cmdOk_Click() { pressed(m_okFlag, "cmdOk_Click"); }
void frmMessage2::cmdYes_Click() { pressed(m_yesFlag, "cmdYes_Click"); }
void frmMessage2::cmdNo_Click() { pressed(m_noFlag, "cmdNo_Click"); }
void frmMessage2::cmdCancel_Click() { pressed(m_cancelFlag, "cmdCancel_Click"); }

// Once the user touches the window it no longer closes by itself.
void frmMessage2::Form_Click() {
    trap(kObject, "Form_Click", [&] { timExit->setEnabled(false); });
}
void frmMessage2::lstMessage_GotFocus() {
    trap(kObject, "lstMessage_GotFocus", [&] { timExit->setEnabled(false); });
}
void frmMessage2::lstMessage_Scroll() {
    trap(kObject, "lstMessage_Scroll", [&] { timExit->setEnabled(false); });
}

void frmMessage2::timExit_Timer() {
    trap(kObject, "timExit_Timer", [&] {
        if (isVisible()) unload();
    });
}

void frmMessage2::mousePressEvent(QMouseEvent* e) {
    Form_Click();
    QDialog::mousePressEvent(e);
}

bool frmMessage2::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lstMessage && e->type() == QEvent::FocusIn) {
        if (static_cast<QFocusEvent*>(e)->reason() == Qt::MouseFocusReason) lstMessage_GotFocus();
    }
    return QDialog::eventFilter(watched, e);
}
