#ifndef HW_MODEL_DATAMODEL_H
#define HW_MODEL_DATAMODEL_H

#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QVector>

#include <functional>
#include <limits>

#include "iolib/Drumvelt.h"
#include "iolib/GPSCoordinate.h"
#include "model/ModelFiles.h"
#include "model/SharedTypes.h"
#include "model/TreeModel.h"
#include "store/HORM_Collection.h"
#include "store/LibHORM.h"

class Data_Calc;
class Data_Line;
class Data_Mathematical_Calc;
class Data_Point;
class Data_Project;
class Dialog_ChangeName;
class Dialog_EllipseSmooth;
class Pdf;
class Word;
struct SampleRecord;

// The controller of the open project and its tree model: lines at level 1,
// their stations at level 2. It owns the project's collections, the current
// processing settings and the curves and results of what is shown.
class DataModel : public TreeModel
{
    Q_OBJECT

public:
    explicit DataModel(QObject* parent = nullptr);
    ~DataModel() override;

    DataModel(const DataModel&) = delete;
    DataModel& operator=(const DataModel&) = delete;

    // --- Project ---
    // The suffix of the project file ("QELVA" or "MORSA"); set before loading.
    void setFileSuffix(QString suffix);
    // Registers the entity classes, builds the tree and gates every station
    // not yet processed. A project already open is closed first. False, with
    // nothing of the project kept and the user told, when another program's
    // lock refused a statement or loading failed; the gating of that load
    // is then rolled back. Curves the file refuses to store (a reader keeps
    // the commit from finishing, the file is read-only) stay pending in
    // memory; the project is shown and the user told why, once.
    bool loadProject(LibHORM* lib);
    // What the user is told of a project file that another program holds.
    static QString fileInUseText(const QString& path);
    // Empties the tree and forgets the project; the caller deletes lib.
    void closeProject();
    bool isProjectOpen() const;

    // --- Tree ---
    // The edit role of a line or station row is its stored number in full,
    // as text, whatever the label shows.
    QVariant data(const QModelIndex& index, int role) const override;
    // Line and station numbers must be numbers; station rows of a line whose
    // labels are times cannot be renamed; a number equal to the stored one
    // writes nothing.
    bool setData(const QModelIndex& index, const QVariant& value,
                 int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void itemRenamed(const QModelIndex& index) override;
    void itemCheckStateChanged(const QModelIndex& index) override;

    // --- Station editing ---
    // Remembers the line and runs the renumbering dialog; the renumbering
    // happens in on_signalChangeNameRuleChanged while it runs.
    int showChangeNameDialog(int lineRow, const QModelIndex& lineIndex);
    // Restores one station's response from its first-computed curve.
    void clearPointInfo(int lineRow, int stationRow);
    // Restores every used station of a line.
    void resetPointData(int lineRow);
    // Fits every used station of a line: 0 B-spline, 1 Gaussian, 2 exponential.
    void applyFittingMethod(int lineRow, int method);

    // --- What is shown ---
    // Called once a station view succeeded: records the station (by row and
    // key), the scheme, the time window and the gate times shown, which are
    // the only ones an edited curve may be saved into. False (and nothing
    // recorded) when the rows do not name a station of the open project.
    bool rememberShownStation(int lineRow, int stationRow, TEMSampleMODES shownScheme,
                              double tmin, double tmax, const QVector<double>& gateTimes);
    void forgetShownStation();
    // A station view is shown whose edited curve may be saved.
    bool showsEditableStation() const { return shown.valid; }

    // --- Display ---
    // The ground profile of a line: {station number, elevation} per
    // coordinate, in order; stations without an elevation (the 100000
    // marker, anything above 50000) or with a non-finite one are left out.
    QVector<TopoData> buildTopography(QVector<GPSCoordinate> coordinates);
    // A double-click on the tree: line row, station row within the line (any
    // row outside the line shows the line) and sample row (only recorded).
    void showTreeNode(int line, int station, int sample);
    // The colour ramp of the sections: 26 stops from white at 1e-18 to
    // (128, 0, 0) at 1.0.
    static QMap<float, QColor> defaultColourRamp();
    // The ramp every section view is drawn in: the default until the user
    // chooses another.
    QMap<float, QColor> sectionRamp() const { return chosenRamp; }
    // The radius the smoothing dialog proposes: the larger of half the
    // station span and half the depth, whole, within the dialog's 1..10000.
    static int proposedSmoothRadius(const QVector<double>& stations, double depth);
    // Sort orders (strict, for std::sort): ground and result columns by
    // position along the line, coordinates by station number.
    static bool lessByPosition(const TopoData& a, const TopoData& b);
    static bool lessByPosition(const DataType_ResultData& a, const DataType_ResultData& b);
    static bool lessByStation(const GPSCoordinate& a, const GPSCoordinate& b);

    // --- Exports and GPS import ---
    // The tables of the line shown last (or of the last line-section model
    // calculation). Each refuses, with a message, when no project is open
    // or no line has been shown; a file that cannot be written ends it
    // silently. Files are replaced whole or not at all.
    void export1DResults(QString path);
    void export2DResults(QString path);
    void exportLayerResults(QString path);
    void exportSectionData(QString path);
    // Inverts every used line afresh and writes its result file and two
    // blanking files into folder; an empty folder writes nothing.
    void exportResultsByLine(QString folder);
    // The station's sample records gated on the 18-window scheme, into the
    // working directory; stores the current scheme as the line's SampleMode.
    void exportSampledData(int lineRow, int stationRow);
    // Surfer blanking polygons over the held results' topography (sorted
    // in place); false when it is empty or the file cannot be written.
    bool writeTopBlanking(QString path);
    bool writeBottomBlanking(QString path);
    // folder + "/" + fileName from the section result list (sorted in
    // place by x); false when the list is empty or ragged or the file not
    // written.
    bool writeSurferGrid(QString folder, QString fileName = QStringLiteral("out.grd"));

    // --- Model calculation ---
    // Inverts a line by the current method and stores its section (offering
    // the ellipse smoothing) and line data; draws the profile, not the
    // section, which computeModelSection shows.
    void computeLineSection(int lineRow);
    // Re-scales the stored section inside the areas of a model-calculation
    // file, smooths it sideways, shows and stores it. Nothing happens while
    // no section is stored.
    void computeModelSection(QString path);
    // Sends a layered model file with the stored section to the model
    // viewer; nothing when the file cannot be read.
    void sendModelerInput(QString path);
    // The complete areas of a model-calculation file in file order; empty
    // when the file cannot be opened. A block that ends early, lacks a token
    // or holds a non-finite number is left out.
    QVector<ModelArea> readModelFile(QString path);

    // --- Three-dimensional inversion ---
    // Inverts every line in use at once and returns the columns on common
    // levels 5 m apart, smoothed level by level; lineNumbers gets the lines
    // taken. Empty when a line in use has no data, no line is usable, the
    // depth is negative or the library returns nothing.
    QList<DataType_ThreeResultData> calcTransRelax3D(QList<double>& lineNumbers);

    // --- Reports ---
    // mode < 0: the chart of one station into the file path; otherwise the
    // charts of every station of the line into the folder path, named
    // "<line>-<station>.png". Nothing for rows outside the project.
    void exportChartImages(QString path, int stationIndex, int lineIndex, int mode);
    // The report of the line at lineRow, shown first when it is not the
    // line shown last (-1: the line shown last): a PDF when the name ends
    // in ".pdf", else a document when the suffix holds "doc" (written on the
    // thread pool while this thread keeps processing events); nothing for
    // any other name.
    void exportReport(QString path, int lineRow = -1);
    // Row of the line whose results the line views and the report hold;
    // -1 for none.
    int reportedLineRow() const { return reportLineRow; }
    // Draws a line's section for print: its grid, the topography it stands
    // on, the inversion depth and method. A null image leaves the report's
    // section without a picture.
    using SectionRenderer = std::function<QImage(const QList<DataType_ResultData>&, const QVector<TopoData>&,
                                                 double, int)>;
    void setSectionRenderer(SectionRenderer renderer);

signals:
    void modelChange();
    void signal_FittingMethodActionReset();
    void signal_StationChanged(QString, QVector<double>, QVector<double>, double, double, double);
    // The open project's loop radius (m), transmitter turns and receiver
    // area (m^2) as the inversion takes them; the defaults when none is open.
    void signal_SurveyChanged(double, double, double);
    void signal_DataModelShowLineChanged(QVector<double>, QVector<double>);
    void signal_LineSectionGraphChanged(QVector<QVector<double> >, QVector<double>, QVector<double>, double);
    // Each column's measured send current (0 where unknown), sent before
    // the station view's line section.
    void signal_LineCurrentsChanged(QVector<double>);
    void signal_ISOGraphChanged(InvParam, QList<DataType_ResultData>&, QVector<TopoData>, double,
                                QMap<float, QColor>, bool);
    void signal_CentralWidgetChanged(bool);
    void signal_2DLineSectionGraphChanged(QVector<QVector<double> >, QVector<double>, QVector<double>);
    void signal_2DISOGraphChanged(QList<DataType_ResultData>&, QVector<TopoData>, double,
                                  QMap<float, QColor>, int, bool);
    void signal_2DPointData(QList<DataType_ResultData>&, QVector<TopoData>, QMap<float, QColor>, double);
    void signal_Mesh(QVector<double>, InvParam);
    void signal_EditStateChanged(bool, bool);
    void signal_GridSettingsChanged(GridPattern pattern, double length);
    void signal_FiseSaveButtonEnalbe(bool);
    void signal_FileExportButtonEnable(bool);
    void signal_MenuEnable(int);
    void signal_StaticResistivity(float, float);
    void signal_Modelerinput(LayerModeler, QList<DataType_ResultData>);
    void signal_SendPdfData(double, LineInfo, QVector<EditInfo>, InvParam, GridPattern, double,
                            QVector<QVector<double> >, QVector<double>, QVector<double>);
    void signal_ContourMethod(int);
    // An edited curve reached the file.
    void signal_EditedCurveStored();
    // The line asked for has no section to show: the section views are to
    // be emptied rather than keep another line's.
    void signal_SectionCleared();

public slots:
    void on_signal_curInvsionParamChanged(InvParam param);
    void on_signalShowLineChanged(QSHOWLINE showLine);
    void on_signal_SampleModeChanged(TEMSampleMODES mode);
    void on_signal_FittingMethodChanged(int method);
    void on_signal_UseableCheckBoxStateChanged(bool isuse);
    void on_signal_TransRelaxInversionMethodChanged(int method);
    void on_signal_currentGridSettingsChanged(GridPattern pattern, double length);
    void on_signal_FileSavedToDB(QVector<double> newRecvDataList, QVector<double> newRecvTimeList);
    void on_signal_GPSFileImported(QList<GPSCoordinate> gpsCoordinateList);
    void on_signalEditCheckBoxStateChanged(bool pointMove, bool lineMove);
    void on_signalChangeNameRuleChanged(bool isMultipy, double distance);
    void on_signalSendPdfData();
    // The ramp chosen for the sections, from now on for every line and
    // station shown.
    void setSectionRamp(QMap<float, QColor> ramp) { chosenRamp = ramp; }

private:
    friend class TestDataModel;
    friend class TestDataModelDisplay;
    friend class TestDataModelExports;
    friend class TestDataModelModelCalc;
    friend class TestDataModelReports;

    // The station and view that an edited curve belongs to.
    struct ShownStation {
        bool valid = false;
        int lineRow = -1;
        int stationRow = -1;
        qint64 lineId = -1;
        qint64 stationId = -1;
        int scheme = SAMPLE_QV18;
        double tmin = 0.0;
        double tmax = 0.0;
        QVector<double> gateTimes;
    };

    Data_Line* lineAt(int lineRow) const;
    Data_Point* stationAt(Data_Line* line, int stationRow) const;
    // Line row and station row of a tree index (station row -1 for a line).
    void rowsOf(const QModelIndex& index, bool deeperIsStation, int& lineRow, int& stationRow) const;
    // True when the row at index is a station of a line whose labels are times.
    bool isTimeLabelled(const QModelIndex& index) const;
    // The stored NAME of the line or station at index; false for other rows
    // or without a project.
    bool storedName(const QModelIndex& index, double& name) const;
    // A line or station row with its stored number and its label, taken
    // before a rename so that one the file refuses can be taken back.
    struct NamedRow {
        QPersistentModelIndex row;
        double name = 0.0;
        QVariant label;
    };
    bool namedRow(const QModelIndex& index, NamedRow& named) const;
    // Gives each row's line or station its stored number and the row its
    // label again: a refused rename leaves nothing a later save would write.
    void takeBackNames(const QVector<NamedRow>& rows);
    // The reference curve that showLine selects, with the shown gate times;
    // nothing for an unknown mode.
    void emitShownReferenceCurve();

    // Loading.
    // A station's gated curves, computed away from the database, and
    // whether there was anything to gate.
    struct GatedCurves {
        enum Outcome { NoSamples, NoCurve, Gated };
        Outcome outcome = NoSamples;
        QByteArray response18, times18, response10, times10, response20, times20;
    };
    void buildTree();
    // Hands the project's coil set-up (its first project row; the library's
    // defaults without one) to the inversions and tells the views.
    void applySurvey();
    // Gates every station not yet processed, a batch of stations at a time:
    // the loading thread reads a batch's samples and writes its curves,
    // while the batch before is gated on the global thread pool. Returns
    // the number of stations whose curves the file refused.
    int gatePendingStations();
    // Turn-off, stacking, shift, smoothing and gating of one station's
    // samples in use. Reads only settings and stateless calculators, so
    // stations may be gated on several threads at once.
    GatedCurves gateStation(const QList<SampleRecord>& samples, Drumvelt& instrument);
    // False when the station's new curves were not written.
    bool storeGatedCurves(Data_Point* station, const GatedCurves& curves);
    bool applyMorsaCorrection(const QVector<double>& times, QVector<double>& values);

    // Display.
    void showStationView(Data_Line* line, int stationRow);
    void showLineView(Data_Line* line);
    // Reads the line's curves from station first to last in the current
    // scheme, with each column's mean send current (0 where unknown); false
    // when there are no curves or gate times or fewer than minStations
    // usable stations, else also sets the inversion topography. Samples
    // that could not be read whole make it false too, after the user was
    // told: nothing may be shown or computed from part of a line.
    bool readLineCurves(Data_Line* line, int first, int last, int minStations,
                        QVector<QVector<double> >& curves, QVector<double>& times,
                        QVector<double>& numbers, QVector<GPSCoordinate>& coordinates,
                        QVector<double>& currents);
    // Smallest resistivity of a section grid, its above-ground cells (the
    // 1e-18 marker) and non-finite values left out; the grid's plain
    // minimum when nothing else is left.
    static float sectionMinimum(const QList<DataType_ResultData>& grid);
    // The line-level inversion input from a line's curves (one column per
    // station): each station's curve brought from its own measured current
    // (currents, see readLineCurves) to the current the line calls assume,
    // and the stations that cannot be inverted left out of curves, numbers
    // and coordinates.
    static void prepareLineInversion(const QVector<double>& currents, const QVector<double>& times,
                                     QVector<QVector<double> >& curves, QVector<double>& numbers,
                                     QVector<GPSCoordinate>& coordinates);
    // A view that stops early: nothing shown may be saved into or edited.
    void stopView();
    // Empties the section views and tells the user why there is no section.
    void clearSection(const QString& reason);
    // Offers the smoothing dialog and smooths grid when the user changed the
    // ellipse; false when the grid stays as it was.
    bool ellipseSmooth(QList<DataType_ResultData>& grid, const QVector<double>& stations);

    // Exports and GPS import.
    // False, after telling the user, when no project is open or (needLine)
    // no line's results are held.
    bool exportAllowed(bool needLine);
    void importGpsCoordinates(const QList<GPSCoordinate>& records);

    // --- Reports ---
    // Unpacks the station's curves into the current-station vectors and
    // saves its chart picture as fileName, whole or not at all; false when
    // it could not be saved.
    bool drawStationChart(Data_Line* line, Data_Point* station, const QString& fileName);
    // The line the report data belong to.
    Data_Line* reportLine() const;
    // One raw curve per report station number (empty when none matches).
    QVector<QVector<double> > reportRawCurves();
    void gatherReportData(LineInfo& lineInfo, QVector<EditInfo>& editInfos,
                          QVector<QVector<double> >& stationCurves);
    // Takes the line at row as the one the report data now belong to; its
    // section is forgotten until one is drawn for it.
    void startReportLine(int row, const QVector<TopoData>& topography);
    // The section just drawn for the report's line.
    void keepReportSection(const QList<DataType_ResultData>& grid, const QVector<TopoData>& topography,
                           double depth, int method);
    void forgetReportLine();
    // The section views draw nothing for channel curves with abnormal values.
    static bool channelsDrawable(const QVector<QVector<double> >& curves);

    // Model calculation and three-dimensional inversion.

    // Editing.
    void markLineSampleMode(Data_Line* line);
    void restoreStation(Data_Point* station);
    void fitStation(Data_Point* station, int method);
    // Runs writes in one transaction. True when everything they committed
    // (through store) reached the file; otherwise all of it is rolled back,
    // what the writes held for take-back is put back, latest first, and
    // then the user is told failure with the file's path.
    bool storeTogether(const std::function<void()>& writes, const QString& failure);
    // Commits entity; a failure is remembered for storeTogether.
    void store(HORM_BaseObject* entity);
    // Inside storeTogether: keeps what entity holds in its columns now, to
    // be put back should the writes not reach the file. A refused write
    // must leave nothing in memory that a later commit of the same row
    // (another edit, an export, a GPS import) would store unasked.
    void holdForTakeBack(HORM_BaseObject* entity);
    // Inside storeTogether: undo runs should the writes not reach the file.
    void holdForTakeBack(const std::function<void()>& undo);

    // Tells the user that the samples of what (a line or a station, as the
    // text names it) could not be read from the file, and why: another
    // program's lock when the file's refusals grew from refusedBefore.
    // notDone says what was left undone for it; title heads the box.
    void tellSamplesUnread(int refusedBefore, const QString& what, const QString& notDone,
                           const QString& title = QStringLiteral("读取采样数据"));

    // Stores response into the scheme's response column; false for an
    // unknown scheme.
    static bool writeResponse(Data_Point* station, int scheme, const QVector<double>& response);
    // Indices of the gates with tmin <= time <= tmax.
    static QVector<int> gatesWithin(const QVector<double>& times, double tmin, double tmax);

    // Project.
    QPointer<LibHORM> database;
    // A commit through store failed since storeTogether began.
    bool writeFailed = false;
    int storeDepth = 0;
    // What the outermost storeTogether puts back when its writes fail, in
    // the order held.
    QVector<std::function<void()> > takeBacks;
    HORM_Collection<Data_Line>* lines = nullptr;
    HORM_Collection<Data_Project>* projects = nullptr;
    QString fileSuffix;
    // Stations read and gated together while loading; 0 picks it from the
    // thread count and the byte budget of a batch's sample blobs.
    int gatingBatchSize = 0;
    qint64 gatingBatchBytes = qint64(16) << 20;
    // Tests only: called as each gating task starts (on a pool thread) and
    // before each station's curves are stored (on the loading thread).
    enum class GatingStep { Gate, Store };
    std::function<void(GatingStep)> gatingTestHook;

    // Current line, station and sample (rows in their collections).
    int currentLineRow = -1;
    int currentStationRow = -1;
    int currentSampleRow = -1;
    double currentLineNumber = std::numeric_limits<double>::quiet_NaN();

    // Calculators and instrument tables.
    Data_Calc* calc = nullptr;
    Data_Mathematical_Calc* mathCalc = nullptr;
    ModelFiles modelFiles;
    Drumvelt io;

    // Settings.
    bool pointMove = false;
    bool lineMove = false;
    bool sortStationsByName = true;
    bool normaliseByCurrent = false;
    TEMSampleMODES scheme = SAMPLE_QV18;
    InvParam invParam;
    GridPattern gridPattern = GRID_FIXED;
    QMap<float, QColor> chosenRamp = defaultColourRamp();
    double gridValue = 5.0;
    QSHOWLINE showLine = SHOWLINE_RAW;
    int transRelaxMethod = 1;

    // The station shown last and its neighbours.
    QVector<double> stationResponse;
    QVector<double> stationTimes;
    QVector<double> stationRaw;
    QVector<double> previousResponse;
    QVector<double> nextResponse;
    ShownStation shown;

    // Results of the line shown last.
    QVector<GPSCoordinate> lineCoordinates;
    QList<DataType_ResultData> stationResults;
    QList<DataType_ThreeResultData> profileResults;
    QList<DataType_ResultData> sectionResults;
    QList<DataType_ResultData> layerResults;
    // The topography of the line whose results are held above, kept with
    // them so exports never pair results with another line's ground.
    QVector<TopoData> resultTopography;
    Dialog_EllipseSmooth* smoothDialog = nullptr;
    QVector<double> reportDistances;
    QVector<double> reportTimes;
    QVector<QVector<double> > reportCurves;
    // The views show a section only when there are more stations than this.
    static constexpr int kSectionMinStations = 3;
    // Row of the line the report data above belong to, and the parameters
    // (with that line's ground and inversion method) and section grid they
    // were computed with.
    int reportLineRow = -1;
    InvParam reportParam;
    GridPattern reportGridPattern = GRID_FIXED;
    double reportGridValue = 5.0;
    // The section drawn for that line (empty when none could be drawn).
    QList<DataType_ResultData> reportSection;
    QVector<TopoData> reportSectionTopography;
    double reportSectionDepth = 0.0;
    int reportSectionMethod = 1;
    SectionRenderer sectionRenderer;

    // Renumbering.
    Dialog_ChangeName* renameDialog = nullptr;
    bool renameMultiply = true;
    double renameValue = 10.0;
    int renameLineRow = -1;
    QModelIndex renameLineIndex;

    // Report writers, owned; a document report is running.
    Word* wordReport = nullptr;
    Pdf* pdfReport = nullptr;
    bool reportRunning = false;
};

#endif // HW_MODEL_DATAMODEL_H
