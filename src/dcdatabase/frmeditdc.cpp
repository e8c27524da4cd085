#include "dcdatabase/frmeditdc.h"

#include "dcdatabase/dccelldelegate.h"
#include "dcdatabase/dcgridmodel.h"
#include "dcdatabase/tipstyle.h"
#include "desktop/dialogs.h"
#include "desktop/twips.h"
#include "services/errtrap.h"
#include "services/moddatabase.h"
#include "services/modglobal.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QTableView>

namespace {

constexpr int nameWidthTwips = 4440;
const QString producerBlock = QStringLiteral("producer");

QTableView* makeGrid(QWidget* parent, DcGridModel* model, DcCellDelegate* delegate) {
    auto* grid = new QTableView(parent);
    grid->setModel(model);
    grid->setItemDelegate(delegate);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    grid->horizontalHeader()->setSectionsMovable(false);
    grid->horizontalHeader()->setSortIndicatorShown(false);
    grid->verticalHeader()->setDefaultSectionSize(20);  // the record selector column
    grid->verticalHeader()->setFixedWidth(16);
    grid->hide();
    return grid;
}

}  // namespace

namespace {
frmEditDC* s_editor = nullptr;
}

frmEditDC& frmEditDC::instance() {
    if (!s_editor) s_editor = new frmEditDC();
    return *s_editor;
}

frmEditDC* frmEditDC::existing() { return s_editor; }

frmEditDC::frmEditDC() {
    setObjectName(QStringLiteral("frmEditDC"));
    setWindowTitle(QStringLiteral("Edit DataContainer"));
    resize(twips::px(14400), twips::px(9000));

    fraGridType[0] = new QGroupBox(this);
    auto* varRow = new QHBoxLayout(fraGridType[0]);
    const char* varCaptions[] = {"Min/Max", "Access Levels", "Modbus-Config.", "Producer", "Sync-Cmd"};
    for (int i = 0; i < 5; ++i) {
        optShowVarCol[size_t(i)] = new QRadioButton(QLatin1String(varCaptions[i]), fraGridType[0]);
        varRow->addWidget(optShowVarCol[size_t(i)]);
        connect(optShowVarCol[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) optShowVarCol_Click(i);
        });
    }
    lblParaGroup = new QLabel(QStringLiteral("Group:"), fraGridType[0]);
    cboCrcGroup = new QComboBox(fraGridType[0]);
    cboCrcGroup->setMinimumWidth(twips::px(2600));
    varRow->addSpacing(12);
    varRow->addWidget(lblParaGroup);
    varRow->addWidget(cboCrcGroup);
    varRow->addStretch();
    connect(cboCrcGroup, &QComboBox::activated, this, [this] { cboCrcGroup_Click(); });

    fraGridType[1] = new QGroupBox(this);
    auto* logRow = new QHBoxLayout(fraGridType[1]);
    const char* logCaptions[] = {"Miscellaneous", "Producer", "Signal Name", "On Delay", "Off Delay", "OnOff Delay"};
    for (int i = 0; i < 6; ++i) {
        optShowLogCol[size_t(i)] = new QRadioButton(QLatin1String(logCaptions[i]), fraGridType[1]);
        logRow->addWidget(optShowLogCol[size_t(i)]);
        connect(optShowLogCol[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) optShowLogCol_Click(i);
        });
    }
    logRow->addStretch();
    for (auto* f : fraGridType) f->setGeometry(twips::px(165), 0, twips::px(11000), twips::px(720));

    chkNewLine = new QCheckBox(QStringLiteral("Show Only New"), this);
    chkNewLine->setGeometry(twips::px(11400), twips::px(240), twips::px(2200), twips::px(300));
    connect(chkNewLine, &QCheckBox::clicked, this, [this] { chkNewLine_Click(); });

    m_dcModel = new DcGridModel(editCellRules::Grid::DcEnums, datDc, this);
    m_alarmModel = new DcGridModel(editCellRules::Grid::AlarmEnums, datDc, this);
    m_dcDelegate = new DcCellDelegate(*m_dcModel, this);
    m_alarmDelegate = new DcCellDelegate(*m_alarmModel, this);
    tdbDcEnums = makeGrid(this, m_dcModel, m_dcDelegate);
    tdbAlarmEnums = makeGrid(this, m_alarmModel, m_alarmDelegate);

    lblEditInfo = new QLabel(this);
    lblEditInfo->setStyleSheet(QStringLiteral("color: #b00000;"));

    for (auto* grid : {tdbDcEnums, tdbAlarmEnums})
        connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this, &frmEditDC::HeadClick);
    for (auto* d : {m_dcDelegate, m_alarmDelegate}) {
        connect(d, &DcCellDelegate::refused, lblEditInfo, &QLabel::setText);
        // Queued, so that the view has closed the editor before the grid moves on.
        connect(d, &DcCellDelegate::edited, this, &frmEditDC::AfterColEdit, Qt::QueuedConnection);
    }
    for (auto* m : {m_dcModel, m_alarmModel}) connect(m, &DcGridModel::refused, lblEditInfo, &QLabel::setText);
    datDc.onRecordsetChanged = [this] {
        m_dcModel->reload();
        m_alarmModel->reload();
        reapplyColumns();
    };
    resetColumns();
    for (QTableView* grid : {tdbDcEnums, tdbAlarmEnums}) {
        const auto& cols = modelOf(grid)->columns();
        for (size_t c = 0; c < cols.size(); ++c) {
            const editColumns::Display d = cols[c].display;
            grid->setColumnWidth(int(c), d == editColumns::Display::ProducerBit ? 26
                                         : d == editColumns::Display::Text      ? 130
                                                                                : 80);
        }
    }
}

QString frmEditDC::getCrcGroupName(int index) { return editColumns::crcGroupName(index, modGlobal::g_applicationType == 2); }

QString frmEditDC::getVarGroup(int index, QString& name) {
    return editColumns::varGroup(index, name, modGlobal::g_applicationType == 2);
}

bool frmEditDC::isDarvo() const { return modGlobal::g_applicationType == 2; }

void frmEditDC::Form_Load() {
    setWindowIcon(QApplication::windowIcon());
    tipStyle::install();
}

bool frmEditDC::g_showForm(const QString& dbPath, const QString& kind) {
    trap("frmEditDC", "g_showForm", [&] {
        Form_Load();
        m_dbPath = dbPath;
        m_kind = kind;
        m_loading = true;
        m_sortOrder = QStringLiteral("ASC");
        m_sortColumn = -1;
        lblEditInfo->clear();
        for (auto* f : fraGridType) f->hide();
        resetColumns();
        tdbDcEnums->hide();
        tdbAlarmEnums->hide();
        int preset = 0;
        const bool variable = kind == QLatin1String("VARIABLE");
        if (kind == QLatin1String("PARAMETER") || variable) {
            if (variable) {
                setupFupIdSelection(dbPath);
                preset = 1;
            } else {
                cboCrcGroup->clear();
                for (int i = 0; i <= 6; ++i) {
                    const QString n = getCrcGroupName(i);
                    if (n.isEmpty()) break;
                    cboCrcGroup->addItem(n);
                }
                cboCrcGroup->addItem(QStringLiteral("--ALL--"));
                cboCrcGroup->setCurrentIndex(isDarvo() ? 1 : 2);
            }
            // Parameters and variables share the first grid; a variable's value is read-only.
            optShowVarCol[3]->setVisible(variable);
            optShowVarCol[4]->setVisible(!variable);
            m_dcModel->setValueLocked(variable);
            fraGridType[0]->show();
            tdbDcEnums->show();
        } else if (kind == QLatin1String("ALARM")) {
            cboCrcGroup->clear();
            preset = 0;
            fraGridType[1]->show();
            tdbAlarmEnums->show();
        }
        if (preset < int(optShowVarCol.size())) optShowVarCol[size_t(preset)]->setChecked(true);
        optShowLogCol[size_t(preset)]->setChecked(true);
        m_loading = false;
        setupTable(QStringLiteral("id"));
        if (kind == QLatin1String("ALARM"))
            optShowLogCol_Click(preset);
        else
            optShowVarCol_Click(preset);
        m_changed = false;
        Form_Resize();
    });
    Dialogs::showModal(this);
    const bool changed = m_changed;
    unload();
    return changed;
}

void frmEditDC::unload() {
    datDc.clear();
    hide();
}

QTableView* frmEditDC::visibleGrid() const {
    if (m_kind == QLatin1String("ALARM")) return tdbAlarmEnums;
    if (m_kind == QLatin1String("PARAMETER") || m_kind == QLatin1String("VARIABLE")) return tdbDcEnums;
    return nullptr;
}

DcGridModel* frmEditDC::modelOf(QTableView* grid) const { return grid == tdbAlarmEnums ? m_alarmModel : m_dcModel; }

int frmEditDC::columnOf(QTableView* grid, const QString& field) const {
    const auto& cols = modelOf(grid)->columns();
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].field.compare(field, Qt::CaseInsensitive) == 0 && cols[c].display != editColumns::Display::ProducerBit)
            return int(c);
    return -1;
}

void frmEditDC::setColumnShown(QTableView* grid, const QString& field, bool shown) {
    const auto& cols = modelOf(grid)->columns();
    if (field == producerBlock) {
        for (size_t c = 0; c < cols.size(); ++c)
            if (cols[c].display == editColumns::Display::ProducerBit) setHidden(grid, int(c), !shown);
        return;
    }
    const int c = columnOf(grid, field);
    if (c >= 0) setHidden(grid, c, !shown || cols[size_t(c)].neverShown);
}

void frmEditDC::setHidden(QTableView* grid, int column, bool hidden) {
    auto& state = m_hidden[grid == tdbAlarmEnums ? 1 : 0];
    if (column < 0 || column >= int(state.size())) return;
    state[size_t(column)] = hidden;
    grid->setColumnHidden(column, hidden);
}

// A new record set resets the grid's header; the columns keep what the views set.
void frmEditDC::reapplyColumns() {
    for (QTableView* grid : {tdbDcEnums, tdbAlarmEnums}) {
        const auto& state = m_hidden[grid == tdbAlarmEnums ? 1 : 0];
        for (size_t c = 0; c < state.size(); ++c) grid->setColumnHidden(int(c), state[c]);
    }
}

void frmEditDC::resetColumns() {
    for (QTableView* grid : {tdbDcEnums, tdbAlarmEnums}) {
        const auto& cols = modelOf(grid)->columns();
        m_hidden[grid == tdbAlarmEnums ? 1 : 0].assign(cols.size(), false);
        for (size_t c = 0; c < cols.size(); ++c) setHidden(grid, int(c), cols[c].neverShown || !cols[c].shownAtStart);
    }
}

void frmEditDC::applyColumnSet(QTableView* grid, const QStringList& hide, const QStringList& show) {
    for (const QString& f : hide) setColumnShown(grid, f, false);
    for (const QString& f : show) setColumnShown(grid, f, true);
}

void frmEditDC::setupTable(const QString& sortColumn) {
    trap("frmEditDC", "setupTable", [&] {
        QString where;
        QVariantList params;
        QString table = QStringLiteral("dcEnums");
        const bool selected = cboCrcGroup->count() > 0 && cboCrcGroup->currentIndex() < cboCrcGroup->count() - 1;
        const int nameCol = columnOf(tdbDcEnums, QStringLiteral("name"));
        const bool parameter = m_kind == QLatin1String("PARAMETER");
        if (parameter || m_kind == QLatin1String("VARIABLE")) {
            setColumnShown(tdbDcEnums, parameter ? QStringLiteral("varGroup") : QStringLiteral("crcGroup"), false);
            where = QStringLiteral("WHERE class=? ");
            params << m_kind;
            if (selected && parameter) {
                where += QStringLiteral("AND crcGroup=? ");
                params << cboCrcGroup->currentIndex() + 1;
            } else if (selected) {
                const QString text = cboCrcGroup->currentText();
                const int n = int(text.indexOf(QLatin1Char(':')));
                where += QStringLiteral("AND substr(fupId,1,?)=? ");
                params << n << text.left(n);
            }
            // A selected group's column would say the same in every row: the name takes its place.
            const int groupCol = columnOf(tdbDcEnums, parameter ? QStringLiteral("crcGroup") : QStringLiteral("varGroup"));
            setHidden(tdbDcEnums, groupCol, selected);
            tdbDcEnums->setColumnWidth(nameCol, twips::px(nameWidthTwips) - (selected ? 0 : tdbDcEnums->columnWidth(groupCol)));
        } else if (m_kind == QLatin1String("ALARM")) {
            table = QStringLiteral("alarmEnums");
        } else {
            return;
        }
        if (chkNewLine->isChecked()) {
            where += where.isEmpty() ? QStringLiteral("WHERE \"upDate\"=? ") : QStringLiteral("AND \"upDate\"=? ");
            params << 0;
        }
        QString column = sortColumn;
        column.replace(QLatin1Char('"'), QLatin1String("\"\""));
        m_source = QStringLiteral("SELECT * FROM %1 %2ORDER BY \"%3\" %4, id").arg(table, where, column, m_sortOrder);
        m_sourceParams = params;
        modDataBase::g_iniDataObject(datDc, m_dbPath, m_source, false, params);
    });
}

void frmEditDC::setupFupIdSelection(const QString& dbPath) {
    trap("frmEditDC", "setupFupIdSelection", [&] {
        cboCrcGroup->clear();
        std::shared_ptr<dao::Database> db;
        std::shared_ptr<dao::Recordset> rs;
        if (modDataBase::g_iniRecordset(dbPath, QStringLiteral("SELECT * FROM dcEnums WHERE ID>=2048 ORDER BY fupId"),
                                        db, rs, false, true, false)) {
            QString last;
            for (rs->MoveFirst(); !rs->eof(); rs->MoveNext()) {
                const QString fup = rs->Value(QStringLiteral("fupId")).toString();
                if (!last.isEmpty() && fup.contains(last)) continue;
                const int dot = int(fup.indexOf(QLatin1Char('.')));
                last = dot < 0 ? fup : fup.left(dot);
                if (!last.isEmpty()) cboCrcGroup->addItem(last + editColumns::functionGroupLabel(last));
            }
        }
        if (rs) rs->Close();
        if (db) db->Close();
        cboCrcGroup->addItem(QStringLiteral("--ALL--"));
        cboCrcGroup->setCurrentIndex(cboCrcGroup->count() - 1);
    });
}

void frmEditDC::cboCrcGroup_Click() {
    if (m_loading) return;
    setupTable(QStringLiteral("id"));
}

void frmEditDC::chkNewLine_Click() { setupTable(QStringLiteral("id")); }

void frmEditDC::optShowVarCol_Click(int Index) {
    if (m_loading) return;
    const auto set = editColumns::varColumnSet(Index);
    applyColumnSet(tdbDcEnums, set.hide, set.show);
}

void frmEditDC::optShowLogCol_Click(int Index) {
    if (m_loading) return;
    const int producer = columnOf(tdbAlarmEnums, QStringLiteral("producerMask"));
    if (producer >= 0) setHidden(tdbAlarmEnums, producer, true);
    const auto set = editColumns::logColumnSet(Index);
    applyColumnSet(tdbAlarmEnums, set.hide, set.show);
}

void frmEditDC::HeadClick(int ColIndex) {
    QTableView* grid = visibleGrid();
    if (!grid) return;
    m_sortOrder = editCellRules::sortOrderAfterClick(ColIndex, m_sortColumn, m_sortOrder);
    m_sortColumn = ColIndex;
    setupTable(modelOf(grid)->columns()[size_t(ColIndex)].field);
}

void frmEditDC::AfterColEdit(const QModelIndex& index) {
    m_changed = true;
    lblEditInfo->clear();
    QTableView* grid = visibleGrid();
    if (!grid) return;
    // The edit is in the database already; the grid moves on to the next row.
    const QModelIndex next = grid->model()->index(index.row() + 1, index.column());
    if (next.isValid())
        grid->setCurrentIndex(next);
    else
        grid->clearSelection();
}

void frmEditDC::Form_Resize() {
    const int minHeight = twips::px(2000);
    if (height() < minHeight) resize(width(), minHeight);
    QTableView* grid = tdbDcEnums->isVisibleTo(this) ? tdbDcEnums : (tdbAlarmEnums->isVisibleTo(this) ? tdbAlarmEnums : nullptr);
    const int top = twips::px(780);
    if (grid)
        grid->setGeometry(twips::px(165), top, width() - twips::px(330), height() - twips::px(1110));
    lblEditInfo->setGeometry(twips::px(165), height() - twips::px(320), width() - twips::px(330),
                             twips::px(300));
}

void frmEditDC::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    Form_Resize();
}
