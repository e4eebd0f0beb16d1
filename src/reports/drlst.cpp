#include "reports/drlst.h"

#include "app/ledgersession.h"
#include "app/mainbas.h"
#include "app/msgbox.h"
#include "app/shell.h"
#include "app/twips.h"
#include "reports/importwrite.h"
#include "reports/mxedrules.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTableView>
#include <QVBoxLayout>

using namespace MainBas;
using Twips::named;
using Twips::tw;

namespace {
// Records split between two looks at the window while a large input is read.
constexpr int kReadStep = 2000;
} // namespace

// Every line as it will be written, with its error.
class PreviewModel : public QAbstractTableModel {
public:
    PreviewModel(const QVector<Import::Line>& lines, const QString& itemWord, QObject* parent)
        : QAbstractTableModel(parent), lines_(lines),
          heads_({QStringLiteral("行"), itemWord, QStringLiteral("增减"), QStringLiteral("备注"),
                  QStringLiteral("时间"), QStringLiteral("操作员"), QStringLiteral("错误")}) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(heads_.size());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return heads_.value(section);
        return {};
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const Import::Line& l = lines_.at(index.row());
        if (role == Qt::ForegroundRole && !l.error.isEmpty())
            return QColor(Qt::red);
        if (role != Qt::DisplayRole)
            return {};
        switch (index.column()) {
        case 0:
            return l.line;
        case 1:
            return l.item;
        case 2:
            return l.error.isEmpty() ? MxEdRules::changeTextOf(l.quantity) : QString();
        case 3:
            return l.remark;
        case 4:
            return l.tm;
        case 5:
            return l.operatorName;
        default:
            return l.error;
        }
    }
    void reload() {
        beginResetModel();
        endResetModel();
    }

private:
    const QVector<Import::Line>& lines_;
    QStringList heads_;
};

DrLst::DrLst(LedgerSession& session, QWidget* parent)
    : QDialog(parent), session_(session), words_{ItemName, SlName} {
    setObjectName(QStringLiteral("DrLst"));
    setWindowTitle(QStringLiteral("批量导入"));
    const QString captions[4] = {QStringLiteral("选择文件…"), QStringLiteral("粘贴"),
                                 QStringLiteral("导入"), QStringLiteral("返回")};
    for (int i = 0; i < 4; ++i) {
        Cmd[i] = named(new QPushButton(captions[i], this), Twips::indexed("Cmd", i));
        Cmd[i]->setAutoDefault(false);
        connect(Cmd[i], &QPushButton::clicked, this, [this, i] { Cmd_Click(i); });
    }
    Cmd[2]->setEnabled(false);
    auto* strip = new QWidget;
    columns_ = new QHBoxLayout(strip);
    columns_->setContentsMargins(0, 0, 0, 0);
    columns_->addStretch();
    auto* scroll = named(new QScrollArea(this), QStringLiteral("FrmCol"));
    scroll->setWidget(strip);
    scroll->setWidgetResizable(true);
    scroll->setFixedHeight(tw(900));
    model_ = new PreviewModel(lines_, ItemName, this);
    Grid = named(new QTableView(this), QStringLiteral("Grid"));
    Grid->setModel(model_);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->horizontalHeader()->setStretchLastSection(true);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LabInfo = named(new QLabel(Import::startHint(), this), QStringLiteral("LabInfo"));
    LabInfo->setWordWrap(true);
    Bar = named(new QProgressBar(this), QStringLiteral("Bar"));
    Bar->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(Cmd[0]);
    top->addWidget(Cmd[1]);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Cmd[2]);
    bottom->addWidget(Cmd[3]);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(scroll);
    all->addWidget(Grid, 1);
    all->addWidget(LabInfo);
    all->addWidget(Bar);
    all->addLayout(bottom);
    resize(tw(13500), tw(9000));
    limits_ = Import::readLimits();
}

void DrLst::Cmd_Click(int index) {
    switch (index) {
    case 0:
        chooseFile();
        break;
    case 1:
        paste();
        break;
    case 2:
        importLines();
        break;
    default:
        reject();
        break;
    }
}

void DrLst::reject() {
    // A read in progress stops at its next step.
    closed_ = true;
    QDialog::reject();
}

void DrLst::chooseFile() {
    const QString path = OpenImportDialog(windowTitle());
    if (path.isEmpty())
        return;
    // Refused by its size before a byte of it is read.
    if (QFileInfo(path).size() > Import::kMaxBytes) {
        clearSheet();
        Msg::info(Import::tooLarge());
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        clearSheet();
        Msg::info(Import::cannotRead(file.errorString()));
        return;
    }
    Import::Reader reader(file.readAll(), words_);
    load(reader);
}

void DrLst::paste() {
    const QString text = QApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        Msg::info(Import::emptyClipboard());
        return;
    }
    Import::Reader reader(text, words_);
    load(reader);
}

void DrLst::load(Import::Reader& reader) {
    clearSheet();
    setBusy(true);
    Bar->setRange(0, 100);
    while (!reader.done() && !closed_) {
        reader.step(kReadStep);
        Bar->setValue(reader.percent());
        QCoreApplication::processEvents();
    }
    setBusy(false);
    if (closed_)
        return;
    Import::Sheet sheet = reader.take();
    if (!reader.error().isEmpty() || sheet.records.isEmpty()) {
        Msg::info(reader.error().isEmpty() ? Import::emptyInput() : reader.error());
        return;
    }
    sheet_ = std::move(sheet);
    buildColumns();
    reparse();
}

void DrLst::clearSheet() {
    sheet_ = Import::Sheet();
    buildColumns();
    lines_.clear();
    model_->reload();
    LabInfo->setText(Import::startHint());
    ready_ = false;
    Cmd[2]->setEnabled(false);
}

void DrLst::buildColumns() {
    for (QComboBox* c : CmbCol)
        delete c->parentWidget();
    CmbCol.clear();
    const QStringList captions = Import::fieldCaptions(ItemName);
    for (int i = 0; i < sheet_.columns; ++i) {
        auto* box = new QWidget;
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        const QString head = sheet_.header.value(i).trimmed();
        layout->addWidget(new QLabel(head.isEmpty() ? QStringLiteral("第%1列").arg(i + 1) : head));
        auto* combo = named(new QComboBox, Twips::indexed("CmbCol", i));
        combo->addItems(captions);
        combo->setCurrentIndex(static_cast<int>(sheet_.mapping.value(i, Import::Field::Skip)));
        connect(combo, &QComboBox::currentIndexChanged, this, [this, i](int field) {
            sheet_.mapping[i] = static_cast<Import::Field>(field);
            reparse();
        });
        layout->addWidget(combo);
        columns_->insertWidget(i, box);
        CmbCol.append(combo);
    }
}

void DrLst::reparse() {
    lines_ = Import::parseAll(sheet_, words_, limits_);
    model_->reload();
    const Import::Counts counts = Import::countLines(lines_);
    const QString mapping = Import::mappingError(sheet_.mapping, ItemName);
    LabInfo->setText(Import::countsText(counts, mapping));
    ready_ = counts.lines > 0 && counts.errors == 0 && mapping.isEmpty();
    Cmd[2]->setEnabled(ready_);
}

void DrLst::setBusy(bool on) {
    Cmd[0]->setEnabled(!on);
    Cmd[1]->setEnabled(!on);
    Cmd[2]->setEnabled(!on && ready_);
    for (QComboBox* c : CmbCol)
        c->setEnabled(!on);
    Bar->setVisible(on);
    Bar->setValue(0);
}

void DrLst::importLines() {
    const QString refusal = Import::rightsRefusal(lines_, CurQx, SlName);
    if (!refusal.isEmpty()) {
        Msg::info(refusal);
        return;
    }
    setBusy(true);
    setEnabled(false);
    const Import::Outcome o = Import::write(CurZbID, CurUsr, lines_, [this](int done, int total) {
        Bar->setRange(0, total);
        Bar->setValue(done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    setEnabled(true);
    setBusy(false);
    if (!o.ok) {
        Msg::info(o.message);
        return;
    }
    for (const QString& item : o.items)
        session_.addItem(item);
    // What was written cannot be written a second time by a second click.
    clearSheet();
    Msg::info(o.message);
}
