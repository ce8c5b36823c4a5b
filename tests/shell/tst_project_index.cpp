#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <functional>
#include <memory>

#include "model/DataModel.h"
#include "model/UserPrompt.h"
#include "reports/ReportFiles.h"
#include "shell/Dialog_ChangeName.h"
#include "shell/Form_ProjectIndex.h"
#include "store/LibHORM.h"
#include "store/StoreFixture.h"
#include "tools/projectgen/ProjectGenerator.h"

namespace {

// What a context request opened: the menu's entries and their enabling.
struct MenuSeen {
    bool opened = false;
    QStringList names;
    QStringList texts;
    QList<bool> enabled;
};

} // namespace

// The project tree dock on a generated project: double-clicks, the two
// context menus and what their entries do to the project, the check boxes.
class TestProjectIndex : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formLayout();
    void doubleClickShowsStation();
    void doubleClickCollapsesPreviousLine();
    void doubleClickOnSelectedRowDoesNotRename_data();
    void doubleClickOnSelectedRowDoesNotRename();
    void lineEntriesFollowDoubleClicks();
    void contextMenus();
    void noMenuOnSampleRowOrEmptySpace();
    void renumberAndSmoothAndReset();
    void stationExports();
    void lineChartsIntoFolder();
    void modelEntries();
    void modelCalculationSettlesTheShownEditFirst_data();
    void modelCalculationSettlesTheShownEditFirst();
    void reportEntryAsksForDocument();
    void reportNameTyped_data();
    void reportNameTyped();
    void reportOfTheLineRightClicked();
    void checkBoxWritesUse();
    void editorStartsFromStoredNumber_data();
    void editorStartsFromStoredNumber();
    void refusedRenameShowsStoredName_data();
    void refusedRenameShowsStoredName();
    void loadingCollapsesTree();
    void render();

public slots:
    // The desktop's viewer, in place of the real one.
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    QModelIndex lineIndex(int line) const { return m_model->index(line, 0); }
    QModelIndex stationIndex(int line, int station) const { return m_model->index(station, 0, lineIndex(line)); }
    void doubleClick(const QModelIndex& index);
    // Sends a context request at index (or at pos when index is invalid);
    // picks the entry named pick, if any, from the menu that opens.
    MenuSeen contextMenu(const QModelIndex& index, const QString& pick = QString(),
                         QPoint pos = QPoint(), const QString& grabTo = QString());
    QByteArray blob(const QString& column, double line, double station) const;
    QVariant scalar(const QString& sql) const;
    int stationUse(double line, double station) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_startDir;
    QString m_file;
    QTemporaryDir m_madeDir;
    DataModel* m_model = nullptr;
    LibHORM* m_lib = nullptr;
    Form_ProjectIndex* m_form = nullptr;
    QTreeView* m_tree = nullptr;
    QStringList m_fileRequests;
    std::function<QString()> m_fileAnswer;
    QStringList m_messages;
    QList<QUrl> m_opened;
};

void TestProjectIndex::initTestCase()
{
    registerSharedTypes();
    m_startDir = QDir::currentPath();
    // Made once and copied for each test: the synthetic survey takes
    // seconds to compute under the sanitizers.
    QVERIFY(m_madeDir.isValid());
    ProjectGenerator::Options o;
    o.lines = 2;
    o.stationsPerLine = 4;
    o.samplesPerStation = 1;
    o.sampleLength = 400;
    QString error;
    QVERIFY2(ProjectGenerator(o).write(m_madeDir.filePath("made.QELVA"), &error), qPrintable(error));
}

void TestProjectIndex::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));

    m_file = m_dir->filePath("survey.QELVA");
    QVERIFY(QFile::copy(m_madeDir.filePath("made.QELVA"), m_file));

    m_fileRequests.clear();
    m_messages.clear();
    m_opened.clear();
    QDesktopServices::setUrlHandler("file", this, "openUrl");
    m_fileAnswer = [] { return QString(); };
    UserPrompt::setFileAnswerer([this](UserPrompt::FileDialogKind kind, const QString& caption, const QString& dir,
                                       const QString& filter) {
        m_fileRequests << QStringLiteral("%1|%2|%3|%4").arg(int(kind)).arg(caption, dir, filter);
        return m_fileAnswer();
    });
    UserPrompt::setMessageAnswerer([this](const QString& text) { m_messages << text; });
    // The renumbering dialog doubles the numbers; every other dialog is left.
    UserPrompt::setDialogAnswerer([](QDialog* dialog) {
        if (auto* rename = qobject_cast<Dialog_ChangeName*>(dialog)) {
            rename->findChild<QLineEdit*>("lineEdit")->setText("2");
            QTest::mouseClick(rename->findChild<QPushButton*>("pushButton_OK"), Qt::LeftButton);
        }
        return int(QDialog::Rejected);
    });

    m_model = new DataModel(nullptr);
    m_lib = new LibHORM;
    QVERIFY(m_lib->open(m_file));
    m_model->setFileSuffix("QELVA");
    m_form = new Form_ProjectIndex(nullptr);
    m_form->setModel(m_model);
    connect(m_model, SIGNAL(modelChange()), m_form, SLOT(modelChanged()));
    m_model->loadProject(m_lib);
    m_tree = m_form->findChild<QTreeView*>("treeView");
    QVERIFY(m_tree);
    m_form->resize(300, 500);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestProjectIndex::cleanup()
{
    delete m_form;
    m_form = nullptr;
    m_model->closeProject();
    delete m_lib;
    m_lib = nullptr;
    delete m_model;
    m_model = nullptr;
    UserPrompt::setFileAnswerer(nullptr);
    UserPrompt::setMessageAnswerer(nullptr);
    UserPrompt::setDialogAnswerer(nullptr);
    QDir::setCurrent(m_startDir);
    m_dir.reset();
}

void TestProjectIndex::doubleClick(const QModelIndex& index)
{
    m_tree->scrollTo(index);
    const QPoint at = m_tree->visualRect(index).center();
    // The whole sequence of a double-click; from an unselected row so the
    // first click does not start editing the label.
    m_tree->clearSelection();
    QTest::mousePress(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

MenuSeen TestProjectIndex::contextMenu(const QModelIndex& index, const QString& pick, QPoint pos,
                                       const QString& grabTo)
{
    if (index.isValid()) {
        m_tree->scrollTo(index);
        pos = m_tree->visualRect(index).center();
    }
    MenuSeen seen;
    // Polls for the popup while its loop runs; gives up when none opens.
    QTimer poll;
    int tries = 0;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            if (++tries > 50)
                poll.stop();
            return;
        }
        poll.stop();
        seen.opened = true;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            seen.names << action->objectName();
            seen.texts << action->text();
            seen.enabled << action->isEnabled();
            if (action->text() == pick)
                chosen = action;
        }
        if (!grabTo.isEmpty())
            menu->grab().save(grabTo);
        if (chosen && chosen->isEnabled()) {
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        }
        // A disabled or missing entry cannot be chosen: the menu just closes.
        if (menu->isVisible())
            menu->close();
    });
    poll.start();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, m_tree->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(m_tree->viewport(), &event);
    while (poll.isActive())
        QTest::qWait(10);
    return seen;
}

QByteArray TestProjectIndex::blob(const QString& column, double line, double station) const
{
    return scalar(QStringLiteral("SELECT p.%1 FROM Data_Point p JOIN Data_Line l ON p.Data_LineID = l.ID "
                                 "WHERE l.NAME = %2 AND p.NAME = %3")
                      .arg(column)
                      .arg(line)
                      .arg(station))
        .toByteArray();
}

QVariant TestProjectIndex::scalar(const QString& sql) const
{
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "index-scalar");
        db.setDatabaseName(m_file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("index-scalar");
    return value;
}

int TestProjectIndex::stationUse(double line, double station) const
{
    return blob("USE", line, station).toInt();
}

void TestProjectIndex::formLayout()
{
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Form"));
    QCOMPARE(m_form->contextMenuPolicy(), Qt::CustomContextMenu);
    auto* tabs = m_form->findChild<QTabWidget*>("tabWidget");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QStringLiteral("工程索引"));
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("tab_ProjectIndex"));
    QCOMPARE(m_tree->model(), static_cast<QAbstractItemModel*>(m_model));
    QCOMPARE(m_tree->contextMenuPolicy(), Qt::CustomContextMenu);
    QVERIFY(!m_tree->expandsOnDoubleClick());
    QCOMPARE(m_tree->editTriggers(),
             QAbstractItemView::EditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed));
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(m_model->rowCount(lineIndex(0)), 4);
}

void TestProjectIndex::doubleClickShowsStation()
{
    QSignalSpy station(m_model, SIGNAL(signal_StationChanged(QString,QVector<double>,QVector<double>,double,double,double)));
    m_tree->expand(lineIndex(1));
    doubleClick(stationIndex(1, 2));
    QCOMPARE(station.count(), 1);
    QCOMPARE(station.at(0).at(0).toString(), QStringLiteral("110线 40点"));
    QVERIFY(!station.at(0).at(1).value<QVector<double> >().isEmpty());
    // The double-clicked line row itself neither folds nor unfolds.
    doubleClick(lineIndex(0));
    QVERIFY(!m_tree->isExpanded(lineIndex(0)));
    m_tree->expand(lineIndex(0));
    doubleClick(lineIndex(0));
    QVERIFY(m_tree->isExpanded(lineIndex(0)));
}

void TestProjectIndex::doubleClickCollapsesPreviousLine()
{
    m_tree->expand(lineIndex(0));
    m_tree->expand(lineIndex(1));
    doubleClick(stationIndex(0, 0));
    doubleClick(stationIndex(0, 3));
    QVERIFY(m_tree->isExpanded(lineIndex(0)));
    QVERIFY(m_tree->isExpanded(lineIndex(1)));
    doubleClick(stationIndex(1, 1));
    QVERIFY(!m_tree->isExpanded(lineIndex(0)));
    QVERIFY(m_tree->isExpanded(lineIndex(1)));
}

void TestProjectIndex::doubleClickOnSelectedRowDoesNotRename_data()
{
    QTest::addColumn<int>("stationRow");   // -1: the line row
    QTest::newRow("line") << -1;
    QTest::newRow("station") << 2;
}

void TestProjectIndex::doubleClickOnSelectedRowDoesNotRename()
{
    QFETCH(int, stationRow);
    m_tree->expand(lineIndex(0));
    const QModelIndex row = stationRow < 0 ? lineIndex(0) : stationIndex(0, stationRow);
    const QString label = row.data().toString();
    m_tree->setCurrentIndex(row);
    QVERIFY(m_tree->selectionModel()->isSelected(row));
    QSignalSpy shown(m_model, SIGNAL(signal_FittingMethodActionReset()));
    auto editorOpen = [this] {
        for (QLineEdit* editor : m_tree->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible())
                return true;
        }
        return false;
    };

    // The dialogs a line brings up run the event loop as they would for
    // the user, long enough for a rename that a click put off.
    UserPrompt::setDialogAnswerer([](QDialog*) {
        QTest::qWait(QApplication::doubleClickInterval() * 2);
        return int(QDialog::Rejected);
    });

    // The whole double-click, its first click landing on the selected row.
    const QPoint at = m_tree->visualRect(row).center();
    QTest::mousePress(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(shown.count(), 1);
    // A click's rename starts once the double-click interval has passed.
    QTest::qWait(QApplication::doubleClickInterval() * 2);
    QVERIFY(!editorOpen());
    // Typing then goes nowhere near the row's number.
    QTest::keyClicks(m_tree, "7");
    QTest::keyClick(m_tree, Qt::Key_Return);
    QCOMPARE(row.data().toString(), label);
    QCOMPARE(scalar("SELECT COUNT(*) FROM Data_Line WHERE NAME = 7").toInt(), 0);
    QCOMPARE(scalar("SELECT COUNT(*) FROM Data_Point WHERE NAME = 7").toInt(), 0);

    // The edit key still renames, and so does a click on the selected row.
    m_tree->setCurrentIndex(row);
    QTest::keyClick(m_tree, Qt::Key_F2);
    QTRY_VERIFY(editorOpen());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!editorOpen());
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTRY_VERIFY(editorOpen());
}

void TestProjectIndex::lineEntriesFollowDoubleClicks()
{
    auto lineOnlyEnabled = [this] {
        const MenuSeen seen = contextMenu(lineIndex(0));
        return seen.enabled.mid(4);
    };
    QCOMPARE(lineOnlyEnabled(), (QList<bool>{false, false}));
    QSignalSpy section(m_model, SIGNAL(signal_2DLineSectionGraphChanged(QVector<QVector<double> >,QVector<double>,QVector<double>)));
    doubleClick(lineIndex(0));
    QCOMPARE(section.count(), 1);
    QCOMPARE(lineOnlyEnabled(), (QList<bool>{true, true}));
    m_tree->expand(lineIndex(0));
    doubleClick(stationIndex(0, 1));
    QCOMPARE(lineOnlyEnabled(), (QList<bool>{false, false}));
}

void TestProjectIndex::contextMenus()
{
    m_tree->expand(lineIndex(0));
    const MenuSeen station = contextMenu(stationIndex(0, 1));
    QVERIFY(station.opened);
    QCOMPARE(station.names, (QStringList{"ActionClear", "ExportRawData", "ActionExportChart"}));
    QCOMPARE(station.texts, (QStringList{"重置该点数据", "导出采样数据", "导出衰减曲线图"}));
    QCOMPARE(station.enabled, (QList<bool>{true, true, true}));

    const MenuSeen line = contextMenu(lineIndex(1));
    QVERIFY(line.opened);
    QCOMPARE(line.names, (QStringList{"ActionModelCal", "ActionChangeName", "ActionLineSmooth",
                                      "ActionExportAllChart", "ActionModerler", "ActionExportReport"}));
    QCOMPARE(line.texts, (QStringList{"导入层状模型反演", "批量修改点号", "批量平滑数据", "批量导出曲线图", "导入模型",
                                      "导出数据处理报告"}));
    QCOMPARE(line.enabled, (QList<bool>{true, true, true, true, false, false}));
}

void TestProjectIndex::noMenuOnSampleRowOrEmptySpace()
{
    // Below the last row there is no line to work on.
    const QPoint below(10, m_tree->viewport()->height() - 5);
    QVERIFY(!m_tree->indexAt(below).isValid());
    QVERIFY(!contextMenu(QModelIndex(), QString(), below).opened);

    // A third level (samples) gets no menu and leaves the line entries as
    // they are when double-clicked.
    QStandardItemModel samples;
    auto* line = new QStandardItem("1");
    auto* station = new QStandardItem("10");
    station->appendRow(new QStandardItem("sample"));
    line->appendRow(station);
    samples.appendRow(line);
    m_form->setModel(nullptr);
    m_tree->setModel(&samples);
    m_tree->expandAll();
    const QModelIndex sample = samples.index(0, 0, samples.index(0, 0, samples.index(0, 0)));
    QVERIFY(!contextMenu(sample).opened);
    doubleClick(sample);
    QVERIFY(contextMenu(samples.index(0, 0)).enabled.mid(4) == (QList<bool>{false, false}));
    doubleClick(samples.index(0, 0));
    doubleClick(sample);
    QVERIFY(contextMenu(samples.index(0, 0)).enabled.mid(4) == (QList<bool>{true, true}));
    m_tree->setModel(nullptr);
}

void TestProjectIndex::renumberAndSmoothAndReset()
{
    m_tree->expand(lineIndex(0));
    contextMenu(lineIndex(0), QStringLiteral("批量修改点号"));
    // Stations 0, 20, 40, 60 of line 100 doubled, in the tree and the file.
    QCOMPARE(stationIndex(0, 1).data().toDouble(), 40.0);
    QCOMPARE(stationIndex(0, 3).data().toDouble(), 120.0);
    QCOMPARE(stationIndex(1, 1).data().toDouble(), 20.0);
    QVERIFY(!blob("ID", 100, 120).isEmpty());

    const QByteArray first = blob("DATA_RECV_QV18", 100, 40);
    const QByteArray second = blob("DATA_RECV_QV18", 100, 80);
    QVERIFY(!first.isEmpty());
    contextMenu(lineIndex(0), QStringLiteral("批量平滑数据"));
    QVERIFY(blob("DATA_RECV_QV18", 100, 40) != first);
    QVERIFY(blob("DATA_RECV_QV18", 100, 80) != second);

    contextMenu(stationIndex(0, 1), QStringLiteral("重置该点数据"));
    QCOMPARE(blob("DATA_RECV_QV18", 100, 40), blob("DATA_RECV_QV18RAW", 100, 40));
    QVERIFY(blob("DATA_RECV_QV18", 100, 80) != second);
}

void TestProjectIndex::stationExports()
{
    m_tree->expand(lineIndex(1));
    contextMenu(stationIndex(1, 2), QStringLiteral("导出采样数据"));
    const QStringList written = QDir(m_dir->path()).entryList(QStringList() << "110Line 40Station*.txt", QDir::Files);
    QVERIFY2(!written.isEmpty(), qPrintable(QDir(m_dir->path()).entryList().join(",")));

    // A cancelled save dialog writes nothing.
    contextMenu(stationIndex(1, 2), QStringLiteral("导出衰减曲线图"));
    QCOMPARE(m_fileRequests, QStringList{"1|导出图片|/|图片(*.png *.jpg)"});
    const QString chart = m_dir->filePath("chart.png");
    QVERIFY(!QFile::exists(chart));
    m_fileAnswer = [chart] { return chart; };
    contextMenu(stationIndex(1, 2), QStringLiteral("导出衰减曲线图"));
    QVERIFY(QFile::exists(chart));
    QImage image(chart);
    QVERIFY(!image.isNull());
}

void TestProjectIndex::lineChartsIntoFolder()
{
    contextMenu(lineIndex(1), QStringLiteral("批量导出曲线图"));
    QCOMPARE(m_fileRequests, QStringList{"2|保存文件夹|" + QDir::currentPath() + "|"});
    QVERIFY(QDir(m_dir->path()).entryList(QStringList() << "*.png").isEmpty());

    const QString folder = m_dir->filePath("charts");
    QVERIFY(QDir().mkpath(folder));
    m_fileAnswer = [folder] { return folder; };
    contextMenu(lineIndex(1), QStringLiteral("批量导出曲线图"));
    QStringList charts = QDir(folder).entryList(QStringList() << "*.png", QDir::Files, QDir::Name);
    QCOMPARE(charts, (QStringList{"110-0.png", "110-20.png", "110-40.png", "110-60.png"}));
}

void TestProjectIndex::modelEntries()
{
    // "导入模型" waits for a double-clicked line; then it sends a model file.
    QSignalSpy modeler(m_model, SIGNAL(signal_Modelerinput(LayerModeler,QList<DataType_ResultData>)));
    doubleClick(lineIndex(0));
    m_fileAnswer = [] { return QStringLiteral(HW_MODEL_DATA_DIR "/model_good.txt"); };
    contextMenu(lineIndex(0), QStringLiteral("导入模型"));
    QCOMPARE(m_fileRequests.last(), QStringLiteral("0|导入模型||模型数据 (*.txt)"));
    QCOMPARE(modeler.count(), 1);
    QCOMPARE(modeler.at(0).at(0).value<LayerModeler>().name, QStringLiteral("二层模型 A, test: 1"));

    // A double-clicked station disables it and the report again; a model
    // calculation file chosen through "导入层状模型反演" enables the report.
    m_tree->expand(lineIndex(0));
    doubleClick(stationIndex(0, 0));
    m_fileAnswer = [] { return QString(); };
    contextMenu(lineIndex(0), QStringLiteral("导入层状模型反演"));
    QCOMPARE(contextMenu(lineIndex(0)).enabled.mid(4), (QList<bool>{false, false}));

    QSignalSpy resistivity(m_model, SIGNAL(signal_StaticResistivity(float,float)));
    m_fileAnswer = [] { return QStringLiteral(HW_MODEL_DATA_DIR "/modelcalc_example.txt"); };
    contextMenu(lineIndex(0), QStringLiteral("导入层状模型反演"));
    QVERIFY(resistivity.count() >= 1);
    QCOMPARE(contextMenu(lineIndex(0)).enabled.mid(4), (QList<bool>{false, true}));
    // The line's section is shown in place of the station: the tree says so.
    QCOMPARE(m_tree->currentIndex(), lineIndex(0));
}

void TestProjectIndex::modelCalculationSettlesTheShownEditFirst_data()
{
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<bool>("settled");   // what the guard answers
    QTest::newRow("settled") << true << true;
    QTest::newRow("kept, as the user cancelled") << true << false;
    QTest::newRow("no file chosen") << false << true;
}

// "导入层状模型反演" replaces the station view with the line's section, as a
// double-click on the line does: the same guard is asked first, and once a
// model file was chosen; a guard that keeps the station stops it.
void TestProjectIndex::modelCalculationSettlesTheShownEditFirst()
{
    QFETCH(bool, fileChosen);
    QFETCH(bool, settled);
    m_tree->expand(lineIndex(0));
    doubleClick(stationIndex(0, 1));
    int asked = 0;
    m_form->setShowGuard([&] {
        ++asked;
        return settled;
    });
    QSignalSpy central(m_model, SIGNAL(signal_CentralWidgetChanged(bool)));
    m_fileAnswer = [fileChosen] {
        return fileChosen ? QStringLiteral(HW_MODEL_DATA_DIR "/modelcalc_example.txt") : QString();
    };
    contextMenu(lineIndex(0), QStringLiteral("导入层状模型反演"));
    QCOMPARE(asked, fileChosen ? 1 : 0);
    const bool calculated = fileChosen && settled;
    QCOMPARE(central.count(), calculated ? 1 : 0);
}

void TestProjectIndex::reportEntryAsksForDocument()
{
    doubleClick(lineIndex(0));
    m_fileRequests.clear();
    // A suffix that names no document kind writes nothing and asks nothing more.
    const QString path = m_dir->filePath("report.txt");
    m_fileAnswer = [path] { return path; };
    contextMenu(lineIndex(0), QStringLiteral("导出数据处理报告"));
    // Only the kinds of report that are written are offered, in one question.
    QCOMPARE(m_fileRequests, QStringList{"1|导出文档||Word 文档(*.docx);;PDF 文档(*.pdf)"});
    QVERIFY(!QFile::exists(path));
}

void TestProjectIndex::reportNameTyped_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("written");
    // ".pdf": the PDF report is written under the name typed, with no second
    // question, and no document "report.pdf.docx" is made.
    QTest::newRow("pdf") << "report.pdf" << QStringList({"导出文档"}) << "report.pdf";
    // ".doc": the document written is of the 2007 format and named so.
    QTest::newRow("doc") << "report.doc" << QStringList({"导出文档"}) << "report.doc.docx";
}

void TestProjectIndex::reportNameTyped()
{
    QFETCH(QString, name);
    QFETCH(QStringList, dialogs);
    QFETCH(QString, written);
    // The document dialog itself, with a name typed.
    doubleClick(lineIndex(0));
    UserPrompt::setFileAnswerer(nullptr);
    // Qt's own dialog, whatever the desktop offers.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
    const QString typed = m_dir->filePath(name);
    QStringList shown;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&]() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (shown.isEmpty() || shown.last() != dialog->windowTitle())
            shown << dialog->windowTitle();
        // Until it closes; the PDF writer's own dialog is cancelled.
        if (dialog->windowTitle() == QStringLiteral("导出文档")) {
            // Typed, as the user does (selectFile may lose a name the
            // dialog's folder listing has not caught up with).
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!name) {
                shown << "no name field";
                dialog->reject();
                return;
            }
            name->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
        } else {
            dialog->reject();
        }
    });
    answer.start(20);
    contextMenu(lineIndex(0), QStringLiteral("导出数据处理报告"));
    answer.stop();
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
    QCOMPARE(shown, dialogs);
    const QString file = m_dir->filePath(written);
    // Only the file named is made.
    if (file != typed)
        QVERIFY(!QFile::exists(typed));
    if (file != typed + ".docx")
        QVERIFY(!QFile::exists(typed + ".docx"));
    QVERIFY(QFile::exists(file));
    if (written.endsWith(".pdf")) {
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(5), QByteArray("%PDF-"));
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(file)}));
    } else {
        QVERIFY(reporttest::docxEntries(file).contains("word/document.xml"));
        QCOMPARE(m_messages, QStringList({"导出完成"}));
    }
}

void TestProjectIndex::reportOfTheLineRightClicked()
{
    // Line 100 shown, the report command chosen on line 110: the report is
    // line 110's, which is shown for it.
    doubleClick(lineIndex(0));
    const QString path = m_dir->filePath("right.docx");
    m_fileAnswer = [path] { return path; };
    QCOMPARE(m_tree->currentIndex(), lineIndex(0));
    contextMenu(lineIndex(1), QStringLiteral("导出数据处理报告"));
    QCOMPARE(m_messages, QStringList({"导出完成"}));
    const QString title = QStringLiteral("测线 %1 数据处理报告").arg(lineIndex(1).data().toString());
    QVERIFY2(reporttest::docxText(path).contains(title), qPrintable(reporttest::docxText(path).left(80)));
    // The tree selects the line now shown, not the one shown before.
    QCOMPARE(m_tree->currentIndex(), lineIndex(1));
    QCOMPARE(m_tree->selectionModel()->selectedRows(), QModelIndexList({lineIndex(1)}));
}

void TestProjectIndex::checkBoxWritesUse()
{
    m_tree->expand(lineIndex(0));
    QCOMPARE(stationUse(100, 20), 1);
    m_tree->setCurrentIndex(stationIndex(0, 1));
    QTest::keyClick(m_tree, Qt::Key_Space);
    QCOMPARE(stationIndex(0, 1).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(stationUse(100, 20), 0);
    QTest::keyClick(m_tree, Qt::Key_Space);
    QCOMPARE(stationUse(100, 20), 1);
}

void TestProjectIndex::editorStartsFromStoredNumber_data()
{
    QTest::addColumn<int>("stationRow");   // -1: the line row
    QTest::addColumn<QString>("typed");    // empty: left as opened
    QTest::addColumn<QString>("label");
    QTest::addColumn<double>("stored");
    QTest::newRow("line left as opened") << -1 << QString() << "12.125" << 12.125;
    QTest::newRow("station left as opened") << 1 << QString() << "20.3" << 20.25;
    QTest::newRow("line renamed") << -1 << "12.5" << "12.5" << 12.5;
    QTest::newRow("station renamed to its label") << 1 << "20.3" << "20.3" << 20.3;
}

void TestProjectIndex::editorStartsFromStoredNumber()
{
    QFETCH(int, stationRow);
    QFETCH(QString, typed);
    QFETCH(QString, label);
    QFETCH(double, stored);
    // Numbers finer than the labels show: line 12.125, station 20.25.
    m_model->closeProject();
    scalar("UPDATE Data_Line SET NAME = 12.125 WHERE NAME = 100");
    scalar("UPDATE Data_Point SET NAME = 20.25 WHERE NAME = 20 AND Data_LineID = "
           "(SELECT ID FROM Data_Line WHERE NAME = 12.125)");
    m_model->loadProject(m_lib);
    const QString table = stationRow < 0 ? "Data_Line" : "Data_Point";
    const qint64 id = stationRow < 0 ? scalar("SELECT ID FROM Data_Line WHERE NAME = 12.125").toLongLong()
                                     : scalar("SELECT ID FROM Data_Point WHERE NAME = 20.25").toLongLong();

    m_tree->expand(lineIndex(0));
    const QModelIndex row = stationRow < 0 ? lineIndex(0) : stationIndex(0, stationRow);
    m_tree->setCurrentIndex(row);
    m_tree->edit(row);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    // A plain text field with every digit, not a spin box that rounds.
    QVERIFY(!qobject_cast<QAbstractSpinBox*>(editor->parentWidget()));
    QCOMPARE(editor->text(), stationRow < 0 ? QStringLiteral("12.125") : QStringLiteral("20.25"));
    if (!typed.isEmpty()) {
        editor->selectAll();
        QTest::keyClicks(editor, typed);
    }
    QPointer<QLineEdit> open(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits and closes from the event loop.
    QTRY_VERIFY(!open);

    QCOMPARE(scalar(QString("SELECT NAME FROM %1 WHERE ID = %2").arg(table).arg(id)).toDouble(), stored);
    QCOMPARE(row.data().toString(), label);
}

void TestProjectIndex::refusedRenameShowsStoredName_data()
{
    QTest::addColumn<int>("stationRow");   // -1: the line row
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("locked");
    QTest::newRow("line to text") << -1 << "abc" << false;
    QTest::newRow("station to text") << 1 << "abc" << false;
    QTest::newRow("line, file locked") << -1 << "7" << true;
    QTest::newRow("station, file locked") << 1 << "7" << true;
}

void TestProjectIndex::refusedRenameShowsStoredName()
{
    QFETCH(int, stationRow);
    QFETCH(QString, typed);
    QFETCH(bool, locked);
    m_tree->expand(lineIndex(0));
    const QModelIndex row = stationRow < 0 ? lineIndex(0) : stationIndex(0, stationRow);
    const QString label = row.data().toString();
    m_tree->setCurrentIndex(row);
    m_lib->setBusyTimeout(20);
    {
        storetest::RawDb lock(m_file);
        if (locked)
            QVERIFY(lock.holdReadLock());
        // A click on the selected row opens its editor.
        QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, m_tree->visualRect(row).center());
        QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        QPointer<QLineEdit> open(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!open);
        QCOMPARE(row.data().toString(), label);
    }
    QCOMPARE(m_messages.size(), locked ? 1 : 0);
    m_messages.clear();
    m_lib->setBusyTimeout(LibHORM::kBusyTimeoutMs);

    // Unchecking the row writes it again, with the stored number.
    QTest::keyClick(m_tree, Qt::Key_Space);
    QCOMPARE(row.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(stationRow < 0 ? scalar("SELECT USE FROM Data_Line WHERE NAME = 100").toInt() : stationUse(100, 20), 0);
    QCOMPARE(scalar("SELECT COUNT(*) FROM Data_Line WHERE NAME = 7").toInt(), 0);
    QCOMPARE(scalar("SELECT COUNT(*) FROM Data_Point WHERE NAME = 7").toInt(), 0);
    QCOMPARE(row.data().toString(), label);
}

void TestProjectIndex::loadingCollapsesTree()
{
    m_tree->expandAll();
    QVERIFY(m_tree->isExpanded(lineIndex(1)));
    LibHORM* again = new LibHORM;
    QVERIFY(again->open(m_file));
    m_model->loadProject(again);
    delete m_lib;
    m_lib = again;
    QVERIFY(!m_tree->isExpanded(lineIndex(0)));
    QVERIFY(!m_tree->isExpanded(lineIndex(1)));
}

void TestProjectIndex::render()
{
    m_tree->expand(lineIndex(0));
    m_tree->setCurrentIndex(stationIndex(0, 2));
    QVERIFY(m_form->grab().save("/tmp/hw_projectindex.png"));
    contextMenu(lineIndex(1), QString(), QPoint(), "/tmp/hw_projectindex_linemenu.png");
    contextMenu(stationIndex(0, 1), QString(), QPoint(), "/tmp/hw_projectindex_stationmenu.png");
}

QTEST_MAIN(TestProjectIndex)
#include "tst_project_index.moc"
