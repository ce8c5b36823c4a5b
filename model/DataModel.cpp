#include "model/DataModel.h"

#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QMetaClassInfo>
#include <QPair>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/Data_Calc.h"
#include "model/Data_Mathematical_Calc.h"
#include "model/TreeItem.h"
#include "model/UserPrompt.h"
#include "reports/Pdf.h"
#include "reports/Word.h"
#include "shell/Dialog_ChangeName.h"
#include "shell/Dialog_EllipseSmooth.h"
#include "store/CurveBlob.h"
#include "store/Data_Line.h"
#include "store/Data_Point.h"
#include "store/Data_Project.h"

namespace {

bool sameTime(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// The shortest text that reads back as exactly this number; plain digits
// unless the number is too large or too small for them.
QString exactNumberText(double number)
{
    const double magnitude = std::fabs(number);
    const char format = (magnitude >= 1e15 || (magnitude > 0.0 && magnitude < 1e-6)) ? 'g' : 'f';
    return QString::number(number, format, QLocale::FloatingPointShortest);
}

} // namespace

DataModel::DataModel(QObject* parent)
    : TreeModel(parent)
{
    registerSharedTypes();
    invParam.timeWindowStart = 150.0;
    invParam.timeWindowEnd = 4000000.0;
    rootItem = new TreeItem(QVector<QVariant>{QVariant(QStringLiteral("工程"))}, nullptr);
    calc = new Data_Calc(nullptr);
    mathCalc = new Data_Mathematical_Calc(nullptr);
    renameDialog = new Dialog_ChangeName(nullptr);
    connect(renameDialog, SIGNAL(changeNameRules(bool,double)),
            this, SLOT(on_signalChangeNameRuleChanged(bool,double)));
    wordReport = new Word;
    pdfReport = new Pdf;
}

DataModel::~DataModel()
{
    delete pdfReport;
    delete wordReport;
    delete lines;
    delete projects;
    delete renameDialog;
    delete smoothDialog;
    delete mathCalc;
    delete calc;
}

void DataModel::setFileSuffix(QString suffix)
{
    fileSuffix = suffix;
}

bool DataModel::isProjectOpen() const
{
    return !database.isNull() && lines != nullptr;
}

void DataModel::closeProject()
{
    if (rootItem && rootItem->childCount() > 0)
        removeRows(0, rootItem->childCount(), QModelIndex());
    delete lines;
    lines = nullptr;
    delete projects;
    projects = nullptr;
    database = nullptr;
    // Rows and targets of the closed project must not reach the next one.
    forgetShownStation();
    currentLineRow = -1;
    currentStationRow = -1;
    currentSampleRow = -1;
    renameLineRow = -1;
    renameLineIndex = QModelIndex();
    // The shown line's results belong to the closed project: exporting them
    // after another project is opened would label them with its lines.
    currentLineNumber = std::numeric_limits<double>::quiet_NaN();
    lineCoordinates.clear();
    stationResults.clear();
    profileResults.clear();
    sectionResults.clear();
    layerResults.clear();
    resultTopography.clear();
    forgetReportLine();
    applySurvey();
}

Data_Line* DataModel::lineAt(int lineRow) const
{
    if (!lines || lineRow < 0 || lineRow >= lines->size())
        return nullptr;
    return lines->at(lineRow).value();
}

Data_Point* DataModel::stationAt(Data_Line* line, int stationRow) const
{
    if (!line || stationRow < 0)
        return nullptr;
    HORM_Collection<Data_Point>* stations = line->REF_Data_Point();
    if (!stations || stationRow >= stations->size())
        return nullptr;
    return stations->at(stationRow).value();
}

void DataModel::rowsOf(const QModelIndex& index, bool deeperIsStation, int& lineRow, int& stationRow) const
{
    lineRow = -1;
    stationRow = -1;
    if (!index.isValid())
        return;
    const QModelIndex parentIndex = index.parent();
    if (!parentIndex.isValid()) {
        lineRow = index.row();
        return;
    }
    const QModelIndex grandParent = parentIndex.parent();
    if (!grandParent.isValid()) {
        lineRow = parentIndex.row();
        stationRow = index.row();
        return;
    }
    if (deeperIsStation && !grandParent.parent().isValid()) {
        lineRow = grandParent.row();
        stationRow = parentIndex.row();
    }
}

bool DataModel::isTimeLabelled(const QModelIndex& index) const
{
    if (!index.isValid() || !isProjectOpen())
        return false;
    const QModelIndex parentIndex = index.parent();
    if (!parentIndex.isValid() || parentIndex.parent().isValid())
        return false;
    const Data_Line* line = lineAt(parentIndex.row());
    return line && line->TYPE() == 1;
}

bool DataModel::storedName(const QModelIndex& index, double& name) const
{
    if (!isProjectOpen() || !index.isValid())
        return false;
    int lineRow = -1;
    int stationRow = -1;
    rowsOf(index, false, lineRow, stationRow);
    Data_Line* line = lineAt(lineRow);
    if (!line)
        return false;
    if (stationRow < 0) {
        name = line->NAME();
        return true;
    }
    const Data_Point* station = stationAt(line, stationRow);
    if (!station)
        return false;
    name = station->NAME();
    return true;
}

bool DataModel::namedRow(const QModelIndex& index, NamedRow& named) const
{
    if (!storedName(index, named.name))
        return false;
    named.row = index;
    named.label = TreeModel::data(index, Qt::DisplayRole);
    return true;
}

void DataModel::takeBackNames(const QVector<NamedRow>& rows)
{
    for (const NamedRow& named : rows) {
        if (!named.row.isValid())
            continue;
        int lineRow = -1;
        int stationRow = -1;
        rowsOf(named.row, false, lineRow, stationRow);
        Data_Line* line = lineAt(lineRow);
        if (stationRow < 0) {
            if (line)
                line->setNAME(named.name);
        } else if (Data_Point* station = stationAt(line, stationRow)) {
            station->setNAME(named.name);
        }
        getItem(named.row)->setData(0, named.label);
        emit dataChanged(named.row, named.row, {Qt::DisplayRole, Qt::EditRole});
    }
}

QVariant DataModel::data(const QModelIndex& index, int role) const
{
    // The label is rounded; an editor opened on it must start from the
    // stored number, or leaving it would store the rounded one.
    double name = 0.0;
    if (role == Qt::EditRole && !isTimeLabelled(index) && storedName(index, name))
        return QVariant(exactNumberText(name));
    return TreeModel::data(index, role);
}

bool DataModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role == Qt::EditRole && index.isValid()) {
        const QModelIndex parentIndex = index.parent();
        const bool lineOrStation = !parentIndex.isValid() || !parentIndex.parent().isValid();
        if (lineOrStation) {
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (!ok || !std::isfinite(number))
                return false;
            if (isTimeLabelled(index))
                return false;
            // An editor left as it was opened changes nothing, not even the label.
            double name = 0.0;
            if (storedName(index, name) && name == number)
                return true;
        }
    }
    // Checking a line writes every station: one transaction for all.
    if ((role == Qt::CheckStateRole || role == Qt::EditRole) && index.isValid() && isProjectOpen()) {
        // Line rows hold their number as a double, whatever the editor gave.
        const QVariant stored = role == Qt::EditRole && !index.parent().isValid() ? QVariant(value.toDouble()) : value;
        NamedRow before;
        const bool named = role == Qt::EditRole && namedRow(index, before);
        bool ok = false;
        const bool written = storeTogether([&] {
            if (named)
                holdForTakeBack([&] { takeBackNames({before}); });
            ok = TreeModel::setData(index, stored, role);
        }, QStringLiteral("修改未能写入工程文件 %1！"));
        // A rename or check that did not reach the file did not happen.
        return ok && written;
    }
    return TreeModel::setData(index, value, role);
}

Qt::ItemFlags DataModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = TreeModel::flags(index);
    if (isTimeLabelled(index))
        f &= ~Qt::ItemIsEditable;
    return f;
}

void DataModel::itemRenamed(const QModelIndex& index)
{
    if (!isProjectOpen())
        return;
    int lineRow = -1;
    int stationRow = -1;
    rowsOf(index, false, lineRow, stationRow);
    Data_Line* line = lineAt(lineRow);
    if (!line)
        return;
    bool ok = false;
    const double value = index.data(Qt::DisplayRole).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return;
    if (stationRow >= 0) {
        Data_Point* station = stationAt(line, stationRow);
        if (!station || station->NAME() == value)
            return;
        qDebug() << "name: " << value;
        station->setNAME(value);
        store(station);
        return;
    }
    if (line->NAME() == value)
        return;
    qDebug() << "name: " << value;
    line->setNAME(value);
    store(line);
}

void DataModel::itemCheckStateChanged(const QModelIndex& index)
{
    if (!isProjectOpen() || !index.isValid())
        return;
    int lineRow = -1;
    int stationRow = -1;
    rowsOf(index, true, lineRow, stationRow);
    Data_Line* line = lineAt(lineRow);
    if (!line)
        return;
    const int checked = getItem(index)->isChecked() ? 1 : 0;
    Data_Point* station = nullptr;
    if (stationRow >= 0) {
        station = stationAt(line, stationRow);
        if (!station)
            return;
    }
    // A refused check leaves the box as the file has it.
    const QPersistentModelIndex row(index);
    const int before = station ? station->USE() : line->USE();
    holdForTakeBack([this, row, before] {
        if (!row.isValid())
            return;
        getItem(row)->setChecked(before != 0);
        emit dataChanged(row, row, {Qt::CheckStateRole});
    });
    if (station) {
        holdForTakeBack(station);
        station->setUSE(checked);
        store(station);
        return;
    }
    holdForTakeBack(line);
    line->setUSE(checked);
    store(line);
}

bool DataModel::rememberShownStation(int lineRow, int stationRow, TEMSampleMODES shownScheme,
                                     double tmin, double tmax, const QVector<double>& gateTimes)
{
    forgetShownStation();
    if (!isProjectOpen())
        return false;
    if (shownScheme != SAMPLE_QV18 && shownScheme != SAMPLE_LOG10 && shownScheme != SAMPLE_LOG20)
        return false;
    Data_Line* line = lineAt(lineRow);
    Data_Point* station = stationAt(line, stationRow);
    if (!station)
        return false;
    shown.valid = true;
    shown.lineRow = lineRow;
    shown.stationRow = stationRow;
    shown.lineId = line->ID();
    shown.stationId = station->ID();
    shown.scheme = shownScheme;
    shown.tmin = tmin;
    shown.tmax = tmax;
    shown.gateTimes = gateTimes;
    return true;
}

void DataModel::forgetShownStation()
{
    shown = ShownStation();
}

bool DataModel::writeResponse(Data_Point* station, int scheme, const QVector<double>& response)
{
    if (!station)
        return false;
    const QByteArray blob = CurveBlob::toBlob(response);
    switch (scheme) {
    case SAMPLE_QV18:
        station->setDATA_RECV_QV18(blob);
        return true;
    case SAMPLE_LOG10:
        station->setDATA_RECV_LOG10(blob);
        return true;
    case SAMPLE_LOG20:
        station->setDATA_RECV_LOG20(blob);
        return true;
    default:
        return false;
    }
}

QVector<int> DataModel::gatesWithin(const QVector<double>& times, double tmin, double tmax)
{
    QVector<int> result;
    for (int i = 0; i < times.size(); ++i) {
        if (times[i] >= tmin && times[i] <= tmax)
            result.append(i);
    }
    return result;
}

// --- Slots ---

void DataModel::on_signal_curInvsionParamChanged(InvParam param)
{
    invParam = param;
}

void DataModel::on_signalShowLineChanged(QSHOWLINE showLine)
{
    this->showLine = showLine;
    if (!isProjectOpen())
        return;
    emitShownReferenceCurve();
}

void DataModel::emitShownReferenceCurve()
{
    switch (static_cast<int>(showLine)) {
    case SHOWLINE_RAW:
        emit signal_DataModelShowLineChanged(stationRaw, stationTimes);
        break;
    case SHOWLINE_PREVIOUS:
        emit signal_DataModelShowLineChanged(previousResponse, stationTimes);
        break;
    case SHOWLINE_NEXT:
        emit signal_DataModelShowLineChanged(nextResponse, stationTimes);
        break;
    default:
        break;
    }
}

void DataModel::on_signal_SampleModeChanged(TEMSampleMODES mode)
{
    scheme = mode;
}

void DataModel::on_signal_FittingMethodChanged(int method)
{
    Q_UNUSED(method)
}

void DataModel::on_signal_UseableCheckBoxStateChanged(bool isuse)
{
    if (!isProjectOpen())
        return;
    Data_Line* line = lineAt(currentLineRow);
    Data_Point* station = stationAt(line, currentStationRow);
    if (station) {
        storeTogether([&] {
            holdForTakeBack(station);
            station->setUSE(isuse ? 1 : 0);
            store(station);
        }, QStringLiteral("修改未能写入工程文件 %1！"));
        // Keep the tree's check box in step with the stored flag (the one
        // it had, when the file refused the new one).
        TreeItem* lineItem = rootItem->child(currentLineRow);
        TreeItem* stationItem = lineItem ? lineItem->child(currentStationRow) : nullptr;
        if (stationItem) {
            stationItem->setChecked(station->USE() != 0);
            const QModelIndex changed = index(currentStationRow, 0, index(currentLineRow, 0));
            emit dataChanged(changed, changed, {Qt::CheckStateRole});
        }
    }
}

void DataModel::on_signal_TransRelaxInversionMethodChanged(int method)
{
    transRelaxMethod = method;
}

void DataModel::on_signal_currentGridSettingsChanged(GridPattern pattern, double length)
{
    gridValue = length;
    gridPattern = pattern;
    emit signal_GridSettingsChanged(pattern, length);
}

void DataModel::on_signal_FileSavedToDB(QVector<double> newRecvDataList, QVector<double> newRecvTimeList)
{
    const QString title = QStringLiteral("保存警告");
    // Whatever is refused is said: the user must not take an edit as stored.
    if (!isProjectOpen() || !shown.valid) {
        UserPrompt::critical(title, QStringLiteral("当前没有显示可编辑的测点，曲线未保存！"));
        return;
    }
    const QString mismatch = QStringLiteral("编辑的曲线与当前显示的测点不符，曲线未保存！");
    Data_Line* line = lineAt(shown.lineRow);
    Data_Point* station = stationAt(line, shown.stationRow);
    if (!line || line->ID() != shown.lineId || !station || station->ID() != shown.stationId) {
        UserPrompt::critical(title, mismatch);
        return;
    }

    const int n = shown.gateTimes.size();
    if (n == 0 || newRecvTimeList.size() != n || newRecvDataList.size() != n) {
        UserPrompt::critical(title, mismatch);
        return;
    }
    for (int j = 0; j < n; ++j) {
        if (!sameTime(newRecvTimeList[j], shown.gateTimes[j]) || !std::isfinite(newRecvDataList[j])) {
            UserPrompt::critical(title, mismatch);
            return;
        }
    }

    QVector<double> response, times, raw;
    if (!station->unpackWhole(shown.scheme, response, times, raw)) {
        UserPrompt::critical(title, mismatch);
        return;
    }
    // The shown gates are the stored ones in order: each is the next stored
    // gate of its time, so of two gates sharing a time each keeps its edit.
    QVector<int> target(n, -1);
    for (int j = 0; j < n; ++j) {
        for (int k = j > 0 ? target[j - 1] + 1 : 0; k < times.size(); ++k) {
            if (times[k] >= shown.tmin && times[k] <= shown.tmax && sameTime(times[k], shown.gateTimes[j])) {
                target[j] = k;
                break;
            }
        }
        if (target[j] < 0) {
            UserPrompt::critical(title, mismatch);
            return;
        }
    }
    for (int j = 0; j < n; ++j)
        response[target[j]] = newRecvDataList[j];

    // The scheme mark and the curve reach the file together or not at all.
    // A refused save leaves the stored curve in memory: the edit lives on
    // in the view only, where it may be saved again or let go, and no
    // later commit of the station can write it unasked.
    const bool stored = storeTogether([&] {
        holdForTakeBack(line);
        holdForTakeBack(station);
        line->setSampleMode(shown.scheme);
        writeResponse(station, shown.scheme, response);
        store(line);
        store(station);
    }, QStringLiteral("曲线未能写入工程文件 %1！"));
    if (stored)
        emit signal_EditedCurveStored();
}

bool DataModel::storeTogether(const std::function<void()>& writes, const QString& failure)
{
    // Nested (a line's check passing on to its stations): the outermost
    // call commits and tells.
    if (storeDepth > 0) {
        writes();
        return !writeFailed;
    }
    writeFailed = false;
    takeBacks.clear();
    ++storeDepth;
    const bool began = database->transaction();
    writes();
    --storeDepth;
    bool stored = !writeFailed;
    writeFailed = false;
    if (began) {
        if (stored)
            stored = database->commit();
        else
            database->rollback();
    }
    const QVector<std::function<void()> > held = takeBacks;
    takeBacks.clear();
    if (!stored) {
        // What is shown and held must be what the file holds before the
        // user is told; the earliest value held of a column wins.
        for (int i = held.size() - 1; i >= 0; --i)
            held.at(i)();
        UserPrompt::critical(QStringLiteral("保存警告"), failure.arg(QDir::toNativeSeparators(database->path())));
    }
    return stored;
}

void DataModel::store(HORM_BaseObject* entity)
{
    if (!entity->commit())
        writeFailed = true;
}

void DataModel::holdForTakeBack(HORM_BaseObject* entity)
{
    if (storeDepth <= 0 || !entity)
        return;
    // Columns loaded on demand are not held: putting back a value not yet
    // loaded would mark it changed and write it over the row.
    const QMetaObject* meta = entity->metaObject();
    const QStringList onDemand = HORM_BaseObject::onDemandColumns(meta);
    QVector<QPair<QByteArray, QVariant> > columns;
    for (int i = 0; i < meta->classInfoCount(); ++i) {
        const QMetaClassInfo info = meta->classInfo(i);
        const QByteArray name(info.name());
        if (qstrcmp(info.value(), "DB") != 0 || name == "ID" || onDemand.contains(QString::fromLatin1(name)))
            continue;
        columns.append({name, entity->property(name.constData())});
    }
    QPointer<HORM_BaseObject> held(entity);
    holdForTakeBack([held, columns] {
        if (!held)
            return;
        for (const auto& column : columns) {
            if (held->property(column.first.constData()) != column.second)
                held->setProperty(column.first.constData(), column.second);
        }
    });
}

void DataModel::holdForTakeBack(const std::function<void()>& undo)
{
    if (storeDepth > 0 && undo)
        takeBacks.append(undo);
}

void DataModel::tellSamplesUnread(int refusedBefore, const QString& what, const QString& notDone,
                                  const QString& title)
{
    const QString path = database ? database->path() : QString();
    const bool inUse = database && database->busyFailures() != refusedBefore;
    UserPrompt::critical(title,
                         QStringLiteral("未能读取工程文件 %1 中%2的采样数据（%3），%4。")
                             .arg(QDir::toNativeSeparators(path), what,
                                  inUse ? QStringLiteral("该文件正被其他程序使用") : QStringLiteral("读取失败"),
                                  notDone));
}

void DataModel::on_signal_GPSFileImported(QList<GPSCoordinate> gpsCoordinateList)
{
    importGpsCoordinates(gpsCoordinateList);
}

void DataModel::on_signalEditCheckBoxStateChanged(bool pointMove, bool lineMove)
{
    this->pointMove = pointMove;
    this->lineMove = lineMove;
    emit signal_EditStateChanged(pointMove, lineMove);
}
