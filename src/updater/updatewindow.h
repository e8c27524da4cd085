#pragma once
// The update window: the part of the main window through which the update run shows its
// progress and takes the engineer's two answers. It holds the controls and the few
// operations that only paint them; the run (UpdateRun) decides what they show.
#include "desktop/timeservice.h"

#include <QString>
#include <QWidget>
#include <array>

class FractionBar;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class UpdateWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr quint32 yellow = 0x00FFFF;
    static constexpr quint32 green = 0x00FF00;
    static constexpr quint32 red = 0x0000FF;
    static constexpr quint32 buttonFace = 0x8000000F;
    static constexpr int widthTwips = 9000;   // the window's size in the main window
    static constexpr int heightTwips = 8580;

    explicit UpdateWindow(QWidget* parent = nullptr);

    // Keeps the design texts of the step fields 1 to 11 (entry 0 is empty).
    void saveStepNames();
    // Colours a step field and writes its text (its design text when text is empty); any
    // colour but the button face also puts the design text into the current-step line.
    void setText(int index, const QString& text, quint32 colour);
    const QString& stepName(int index) const { return m_stepNames[index]; }
    // The update log turns red for good once the CAN master reports a failed bus start.
    bool errorSignal(bool flag);
    // The overall progress bar: 0 to 1, relative adds to the present value.
    void updateProgressUpdater(double value, bool relative);
    double progress() const;

    QGroupBox* fraKelbUpdater;
    std::array<QLineEdit*, 12> txtStep{};  // 0: current-step line, 1 to 11: step fields
    QListWidget* lstMessageUpdater;
    QGroupBox* frmProgressOverall;
    FractionBar* prgProgressUpdater;
    QGroupBox* fraUserInformation;
    QPlainTextEdit* txtUserInfo;
    QPushButton* cmdOpenReport;
    QPushButton* cmdOk;
    QPushButton* cmdExitUpdater;
    QGroupBox* frmProgressPxm;
    FractionBar* prgProgressLoad;
    QLabel* lblTitle;
    QLabel* imgLogo;
    KTimer timCyclic;

private:
    std::array<QString, 12> m_stepNames;
    bool m_errorSignalled = false;
};
