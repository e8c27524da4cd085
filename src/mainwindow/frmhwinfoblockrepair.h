#pragma once
// The hardware info-block repair: reads a module's hardware block, lets the engineer
// correct serial number, date and version, builds the block from a template and writes it.
// The templates lie in "PXM_Templates" beside the configuration's folder, one per hardware
// version: "HWInfoBlockVersion" + version + ".bin".
#include "mainwindow/toolwindow.h"

#include "can/moduleprotocol.h"

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmHWInfoBlockRepair : public QWidget, public OneWindow<frmHWInfoBlockRepair> {
    Q_OBJECT
    friend class OneWindow<frmHWInfoBlockRepair>;

public:
    // Loads the window if needed and shows it; without any template it says so and stays hidden.
    void g_show();

    bool isLoaded() const { return m_loaded; }
    QString templateDirectory() const { return m_templateDir; }
    QByteArray uploadedBlock() const { return m_uploaded; }

    // How long the loading status may say "busy" after the block was written.
    int m_statusPollLimitMs = 10000;

    QLabel* lblModuleNum;
    QComboBox* cmbModuleNum;
    QLabel* lblHWSerial;
    QLineEdit* txtHWSerial;
    QLabel* lblProductionDate;
    QLabel* lblProductionDateWeek;
    QLineEdit* txtProductionDateWeek;
    QLabel* lblProductionDateYear;
    QLineEdit* txtProductionDateYear;
    QLabel* lblHWVersion;
    QComboBox* CmbHWVersion;
    QPushButton* cmdDownload;
    QPushButton* cmdExit;
    QPushButton* cmdCreateFile;

public slots:
    void cmbModuleNum_Click();
    void cmbModuleNum_GotFocus();
    // The list shows another entry (a pick, an arrow key): data of another module go.
    void cmbModuleNum_Change();
    void cmdDownload_Click();
    void cmdCreateFile_Click();
    void cmdExit_Click();

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    frmHWInfoBlockRepair();
    void Form_Load();
    void Form_Unload();

    void createModuleList();
    // The controls besides the module list and Exit.
    std::array<QWidget*, 6> entryControls() const;
    void disableControls(bool all);
    void enableControls(bool navigationOnly);
    void setColor(quint32 color);
    void resetInputFields();
    void clearFaultMark();
    // The fields and the Download button as before any read.
    void forgetRead();
    quint8 nodeId() const;
    // The repair's checks and write; true when the module took the block.
    bool repair();
    bool checkEntries(const QString& version, const QString& templateFile);
    bool readTemplate(const QString& templateFile, QByteArray& templ);
    bool writeBlock(const QByteArray& block);

    static constexpr quint32 white = 0xFFFFFF;  // the serial box before any result
    bool m_loaded = false;
    bool m_working = false;  // a module is being read or repaired
    QString m_templateDir;
    qint16 m_moduleNum = 0;
    qint16 m_readModule = -1;  // the module whose data the fields hold, -1 for none
    bool m_stepping = false;   // the closed list steps on a key or the wheel: no read
    bool m_applWasRunning = false;
    // Per module: it ran its application when this window first started its bootloader.
    moduleProtocol::Selection m_stoppedFromApplication{};
    bool m_serialPresent = false;
    QWidget* m_faultField = nullptr;  // the entry a refused check names, marked in its own box
    QByteArray m_uploaded = QByteArray(moduleProtocol::hwInfoBlockSize, '\0');
};
