// Project file commands: open, close, save, GPS import and exports.

#include "shell/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "iolib/Drumvelt.h"
#include "model/DataModel.h"
#include "model/Data_Calc.h"
#include "model/UserPrompt.h"
#include "shell/Dialog_MergeData.h"
#include "store/LibHORM.h"
#include "views/Form_1DGraph.h"
#include "views/Form_2DGraph.h"

namespace {

const char* const kHistoryKey = "historypath";

// Backups used to be named up to the first dot, so that survey.v1 and
// survey.v2 shared survey_raw. An existing backup of such a name may come
// from any project of the folder whose name begins the same way; these are
// the ones there now.
QStringList projectsSharingOldBackupName(const QFileInfo& project)
{
    if (project.completeBaseName() != project.baseName())
        return {};
    const QString pattern = project.baseName() + QStringLiteral(".*.") + project.suffix();
    return QDir(project.path()).entryList({pattern}, QDir::Files);
}

QString damagedText(const LibHORM& database, const QFileInfo& project, const QString& backup, bool hadBackup)
{
    const QString file = QDir::toNativeSeparators(project.filePath());
    const QString copy = QDir::toNativeSeparators(backup);
    // Rolling back the cut-off write is a write of the open itself.
    QString text = database.rolledBackAtOpen()
        ? QStringLiteral("工程文件 %1 已损坏。打开时已按其日志文件撤销了上次中断的写入，该文件因此已被改写；"
                         "此后以只读方式打开，本次的修改都不会写入该文件。").arg(file)
        : QStringLiteral("工程文件 %1 已损坏，已以只读方式打开，任何修改都不会写入该文件。").arg(file);
    if (!hadBackup) {
        text += database.rolledBackAtOpen() ? QStringLiteral("撤销后的文件已复制为备份文件 %1。").arg(copy)
                                            : QStringLiteral("损坏的文件已原样复制为备份文件 %1。").arg(copy);
        return text;
    }
    const QStringList others = projectsSharingOldBackupName(project);
    if (others.isEmpty())
        return text + QStringLiteral("请用备份文件 %1 恢复工程。").arg(copy);
    return text + QStringLiteral("备份文件 %1 可能是由 %2 复制的，不一定是本工程的备份，请勿直接用它恢复工程。")
                      .arg(copy, others.mid(0, 3).join(QStringLiteral("、")));
}

// The program makes no trigger; one in the file runs inside every write.
QString triggersText(const LibHORM& database, const QFileInfo& project)
{
    const QStringList names = database.triggers();
    const QString shown = names.mid(0, 3).join(QStringLiteral("、")) + (names.size() > 3 ? QStringLiteral("等") : QString());
    return QStringLiteral("工程文件 %1 的数据表带有触发器 %2（不是本程序创建的），写入时触发器可能改动或删除其中的数据，"
                          "已以只读方式打开，任何修改都不会写入该文件。")
        .arg(QDir::toNativeSeparators(project.filePath()), shown);
}

} // namespace

QString MainWindow::historyFolder(const QString& fallback) const
{
    const QString history = m_settings->value(QLatin1String(kHistoryKey)).toString();
    if (!history.isEmpty() && QFile::exists(history))
        return QFileInfo(history).path();
    return fallback;
}

void MainWindow::on_actionOpen_triggered()
{
    const QString name = UserPrompt::getOpenFileName(this, QStringLiteral("打开工程"),
                                                     historyFolder(QDir::currentPath()),
                                                     QStringLiteral("QELVA28工程 (*.QELVA *.MORSA)"));
    if (name.isEmpty())
        return;
    if (!settleUnsavedEdit())
        return;

    const QFileInfo info(name);
    const QString suffix = info.suffix();
    ++m_openCount;

    m_dataModel->setFileSuffix(suffix);
    const QString title = QStringLiteral("打开工程");

    // Only a failed open can leave a database object behind here; should a
    // project still be open, the controller lets go of it first.
    if (m_database) {
        m_dataModel->closeProject();
        delete m_database;
    }
    // Nothing is written beside a file that is refused, not even its backup:
    // the file is opened before it is copied, and a copy made for an open
    // that is then refused goes again. A name that is not there would be
    // created as a new database.
    m_database = new LibHORM(this);
    if (!info.isFile() || !m_database->open(name)) {
        const bool inUse = m_database->busyFailures() > 0;
        delete m_database;
        m_database = nullptr;
        UserPrompt::critical(title, inUse ? DataModel::fileInUseText(name)
                                          : QStringLiteral("无法打开工程文件 %1。").arg(QDir::toNativeSeparators(name)));
        return;
    }

    // Each project has a backup of its own; a name with one dot keeps the
    // backup name it always had.
    const QString backup = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_raw.") + suffix;
    // The backup is one committed state of the file, even while another
    // program commits to it.
    const bool hadBackup = QFile::exists(backup);
    const int refused = m_database->busyFailures();
    if (!hadBackup && !m_database->backupTo(backup)) {
        const bool inUse = m_database->busyFailures() != refused;
        delete m_database;
        m_database = nullptr;
        UserPrompt::critical(title, inUse ? DataModel::fileInUseText(name)
                                          : QStringLiteral("无法创建备份文件 %1，工程未打开。")
                                                .arg(QDir::toNativeSeparators(backup)));
        return;
    }

    // Each project is processed as its own kind; a file that cannot be
    // opened or backed up changes nothing in force.
    presetForProjectKind(suffix);

    // The controller has told the user why it could not load. The backup
    // must be of the first open that goes ahead: one taken now would miss
    // what the program holding the file commits before the next try.
    if (!m_dataModel->loadProject(m_database)) {
        delete m_database;
        m_database = nullptr;
        if (!hadBackup)
            QFile::remove(backup);
        return;
    }

    // A damaged file (as SQLite or the project's tables show it) is
    // read-only: nothing of this session can write over pages that may
    // still hold the survey's records.
    if (m_database->isDamaged())
        UserPrompt::critical(title, damagedText(*m_database, info, backup, hadBackup));
    else if (m_database->hasTriggers())
        UserPrompt::critical(title, triggersText(*m_database, info));

    setWindowTitle(QStringLiteral("QELVA28系统(260331)") + QStringLiteral(" -- ") + name);
    m_settings->setValue(QLatin1String(kHistoryKey), info.filePath());
    m_settings->sync();

    m_actionClose->setEnabled(true);
    m_actionOpen->setEnabled(false);
    m_actionImport->setEnabled(true);
    m_actionImportGps->setEnabled(true);
    if (m_qaClose)
        m_qaClose->setEnabled(true);
    if (m_qaOpen)
        m_qaOpen->setEnabled(false);
}

void MainWindow::on_actionOpen_triggered(bool)
{
    on_actionOpen_triggered();
}

void MainWindow::on_actionFileClose_triggerd()
{
    if (!settleUnsavedEdit())
        return;
    m_dataModel->closeProject();
    delete m_database;
    m_database = nullptr;

    setWindowTitle(QStringLiteral("QELVA28数据处理系统(260331)"));

    m_actionClose->setEnabled(false);
    m_actionOpen->setEnabled(true);
    if (m_qaClose)
        m_qaClose->setEnabled(false);
    if (m_qaOpen)
        m_qaOpen->setEnabled(true);

    // Nothing of the closed project stays on screen or within reach.
    m_form1D->clearView();
    m_form2D->clearView();
    on_signal_CentralWidgetChanged(true);
    on_signal_FiseSaveButtonEnalbe(false);
    on_signal_FileExportButtonEnable(false);
    m_actionImport->setEnabled(false);
    m_actionImportGps->setEnabled(false);
    for (QAction* a : m_fit) {
        if (a)
            a->setEnabled(false);
    }
    on_signal_FittingMethodActionReset();
    if (m_method[3])
        m_method[3]->setEnabled(false);
    if (m_actionColorMap)
        m_actionColorMap->setEnabled(false);
}

void MainWindow::on_actionFileClose_triggerd(bool)
{
    on_actionFileClose_triggerd();
}

void MainWindow::on_actionFileSave_triggerd()
{
    emit signal_FileSaved();
    // A save that did not reach the file leaves the edit to be saved again.
    const bool pending = m_form1D && m_form1D->hasUnsavedEdit();
    m_actionSave->setEnabled(pending);
    if (m_qaSave)
        m_qaSave->setEnabled(pending);
}

void MainWindow::on_actionFileSave_triggerd(bool)
{
    on_actionFileSave_triggerd();
}

void MainWindow::on_actionFileImport_triggerd()
{
    Drumvelt reader;
    const QString name = UserPrompt::getOpenFileName(this, QStringLiteral("导入数据"),
                                                     historyFolder(QDir::currentPath()),
                                                     QStringLiteral("GPS数据 (*.dat)"));
    if (name.isEmpty())
        return;
    QList<GPSCoordinate> list = reader.ReadGPSCoordinateFile(name);
    Data_Calc calc(nullptr);
    list = calc.groupByKey(list);
    emit signal_GPSFileImported(list);
}

void MainWindow::on_actionFileImport_triggerd(bool)
{
    on_actionFileImport_triggerd();
}

void MainWindow::on_actionFileExport_triggerd()
{
    const QString name = UserPrompt::getSaveFileName(
        this, QStringLiteral("导出数据"), historyFolder(QStringLiteral("/")),
        QStringLiteral("一维反演(*.1d.dat);;二维反演(*.2d.dat);;层状结果(*.layer.dat);;原始剖面数据(*.raw.dat)"));
    if (name.isEmpty())
        return;

    const QString suffix = QFileInfo(name).completeSuffix();
    if (suffix.contains(QLatin1String("1d.dat")))
        m_dataModel->export1DResults(name);
    else if (suffix.contains(QLatin1String("2d.dat")))
        m_dataModel->export2DResults(name);
    else if (suffix.contains(QLatin1String("layer.dat")))
        m_dataModel->exportLayerResults(name);
    else if (suffix.contains(QLatin1String("raw.dat")))
        m_dataModel->exportSectionData(name);

    m_actionExport->setEnabled(false);
}

void MainWindow::on_actionFileExport_triggerd(bool)
{
    on_actionFileExport_triggerd();
}

void MainWindow::on_actionFileExportByLine_triggerd()
{
    const QString folder =
        UserPrompt::getExistingDirectory(nullptr, QStringLiteral("保存文件夹"), QDir::currentPath());
    m_dataModel->exportResultsByLine(folder);
}

void MainWindow::on_actionFileExportByLine_triggerd(bool)
{
    on_actionFileExportByLine_triggerd();
}

void MainWindow::on_actionFileMerge_triggerd()
{
    Dialog_MergeData dialog(nullptr);
    UserPrompt::exec(&dialog);
}

void MainWindow::on_actionFileMerge_triggerd(bool)
{
    on_actionFileMerge_triggerd();
}
