#pragma once
// The directory picker: a drive list and a directory list. Each use makes its own picker:
// set InitDir, call showSelect, and read path when it returned 1.
#include <QComboBox>
#include <QDialog>
#include <QListWidget>

class QPushButton;

// A directory list: the opened directory with its parents above it and its
// sub-directories below; a double click opens an entry.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString path() const { return m_path; }
    // False, and nothing changes, when the directory cannot be opened.
    bool setPath(const QString& dir);

private:
    QString m_path;
};

class frmSelectDir : public QDialog {
    Q_OBJECT
public:
    explicit frmSelectDir(QWidget* parent = nullptr);
    ~frmSelectDir() override;

    // 1 when the user confirmed with OK (path holds the directory), 2 otherwise.
    short showSelect();

    QString InitDir;  // written by the caller before showSelect
    QString path;     // the chosen directory, set only by OK

    QComboBox* Drive1;
    DirListBox* Dir1;
    QPushButton* cmdOk;
    QPushButton* cmdCancel;

public slots:
    void cmdOk_Click();
    void cmdCancel_Click();
    void Drive1_Change();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    void Form_Load();
    void Form_Resize();
    void unload();
    bool openAt(const QString& dir);

    short m_result = 2;
    bool m_loaded = false;
};
