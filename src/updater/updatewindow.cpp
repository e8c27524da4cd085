#include "updater/updatewindow.h"

#include "desktop/twips.h"
#include "mainwindow/vbcontrols.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
void place(QWidget* w, int left, int top, int width, int height) { w->setGeometry(twips::twipRect(left, top, width, height)); }

QLabel* label(QWidget* parent, const QString& caption, int left, int top, int width, int height = 255) {
    auto* l = new QLabel(caption, parent);
    place(l, left, top, width, height);
    return l;
}

QPixmap logo(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 70, 140));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(pm.rect().adjusted(1, 1, -1, -1), 6, 6);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(h / 2);
    p.setFont(f);
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("PXM"));
    return pm;
}

const char* const kStepTexts[12] = {"",
                                    "Connecting to KELB",
                                    "Get System Information",
                                    "Evaluate Build",
                                    "PXM Detection",
                                    "Start Bootloader",
                                    "Start Bootloader Cont.",
                                    "Download Appl.-Patch",
                                    "Start Application",
                                    "Update Application CRC",
                                    "Check Update",
                                    "Patch Done"};
}  // namespace

UpdateWindow::UpdateWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("UpdateWindow"));
    resize(twips::px(widthTwips), twips::px(heightTwips));

    for (int i = 1; i <= 11; ++i) {
        txtStep[i] = new QLineEdit(QString::fromLatin1(kStepTexts[i]), this);
        place(txtStep[i], 120, 120 + (i - 1) * 405, 2400, 345);
    }

    fraKelbUpdater = new QGroupBox(this);
    place(fraKelbUpdater, 2640, 60, 6240, 4500);
    QWidget* fr = fraKelbUpdater;
    lblTitle = label(fr, QStringLiteral("KELB-3817 Update Tool"), 240, 240, 4200, 480);
    QFont tf = lblTitle->font();
    tf.setPointSize(14);
    tf.setBold(true);
    lblTitle->setFont(tf);
    imgLogo = label(fr, QString(), 4800, 180, 1200, 600);
    imgLogo->setPixmap(logo(imgLogo->width(), imgLogo->height()));

    frmProgressOverall = new QGroupBox(fr);
    place(frmProgressOverall, 120, 900, 6000, 660);
    label(frmProgressOverall, QStringLiteral("Progress:"), 120, 270, 1200);
    prgProgressUpdater = new FractionBar(frmProgressOverall);
    place(prgProgressUpdater, 1320, 240, 4560, 300);

    fraUserInformation = new QGroupBox(QStringLiteral("User Information"), fr);
    place(fraUserInformation, 120, 1620, 6000, 2220);
    txtStep[0] = new QLineEdit(fraUserInformation);
    place(txtStep[0], 120, 300, 5760, 315);
    txtUserInfo = new QPlainTextEdit(fraUserInformation);
    place(txtUserInfo, 120, 690, 5760, 1080);
    cmdOpenReport = new QPushButton(QStringLiteral("Open Report"), fraUserInformation);
    place(cmdOpenReport, 4320, 1830, 1560, 330);
    cmdOpenReport->hide();

    frmProgressPxm = new QGroupBox(fr);
    place(frmProgressPxm, 120, 3900, 3600, 480);
    label(frmProgressPxm, QStringLiteral("PXM-Update:"), 120, 150, 1080);
    prgProgressLoad = new FractionBar(frmProgressPxm);
    place(prgProgressLoad, 1200, 120, 2280, 270);
    frmProgressPxm->hide();

    cmdOk = new QPushButton(QStringLiteral("Start"), fr);
    place(cmdOk, 3840, 3960, 1080, 420);
    cmdExitUpdater = new QPushButton(QStringLiteral("Finish"), fr);
    place(cmdExitUpdater, 5040, 3960, 1080, 420);

    lstMessageUpdater = new QListWidget(this);
    place(lstMessageUpdater, 120, 4680, 8760, 3780);
    QFont lf(QStringLiteral("Arial"));
    lf.setPointSize(8);
    lstMessageUpdater->setFont(lf);

    for (QLineEdit* e : txtStep) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        vbControls::setBackColor(e, buttonFace);
    }
    txtUserInfo->setReadOnly(true);
    vbControls::setBackColor(txtUserInfo, buttonFace);
    timCyclic.setInterval(500);
}

void UpdateWindow::saveStepNames() {
    m_stepNames[0].clear();
    for (int i = 1; i <= 11; ++i) m_stepNames[i] = txtStep[i]->text();
}

void UpdateWindow::setText(int index, const QString& text, quint32 colour) {
    QLineEdit* box = txtStep.at(index);
    box->setText(text.isEmpty() ? m_stepNames[index] : text);
    vbControls::setBackColor(box, colour);
    if (colour != buttonFace) txtStep[0]->setText(m_stepNames[index]);
}

bool UpdateWindow::errorSignal(bool flag) {
    if (flag) {
        m_errorSignalled = true;
        vbControls::setBackColor(lstMessageUpdater, 0x8080FF);
    }
    return m_errorSignalled;
}

void UpdateWindow::updateProgressUpdater(double value, bool relative) {
    if (relative) value += prgProgressUpdater->fraction();
    value = std::clamp(value, 0.0, 1.0);
    prgProgressUpdater->setFraction(value);
    prgProgressUpdater->show();
}

double UpdateWindow::progress() const { return prgProgressUpdater->fraction(); }
