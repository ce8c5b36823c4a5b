#ifndef HW_MODEL_DATAMODEL_H
#define HW_MODEL_DATAMODEL_H

#include <QColor>
#include <QList>
#include <QMap>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QVector>

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
    // not yet processed. A project already open is closed first.
    void loadProject(LibHORM* lib);
    // Empties the tree and forgets the project; the caller deletes lib.
    void closeProject();
    bool isProjectOpen() const;

    // --- Tree ---
    // Line and station numbers must be numbers; station rows of a line whose
    // labels are times cannot be renamed.
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

    // --- Display ---

    // --- Exports and GPS import ---

    // --- Model calculation ---

    // --- Three-dimensional inversion ---

signals:
    void modelChange();
    void signal_FittingMethodActionReset();
    void signal_StationChanged(QString, QVector<double>, QVector<double>, double, double, double);
    void signal_DataModelShowLineChanged(QVector<double>, QVector<double>);
    void signal_LineSectionGraphChanged(QVector<QVector<double> >, QVector<double>, QVector<double>, double);
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

private:
    friend class TestDataModel;
    friend class TestDataModelDisplay;
    friend class TestDataModelExports;
    friend class TestDataModelModelCalc;

    // The station and view that an edited curve belongs to.
    struct ShownStation {
        bool valid = false;
        int lineRow = -1;
        int stationRow = -1;
        int lineId = -1;
        int stationId = -1;
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

    // Loading.
    void buildTree();
    void preprocessStation(Data_Point* station);
    bool applyMorsaCorrection(const QVector<double>& times, QVector<double>& values);

    // Display.

    // Exports and GPS import.

    // Model calculation and three-dimensional inversion.

    // Editing.
    void markLineSampleMode(Data_Line* line);
    void restoreStation(Data_Point* station);
    void fitStation(Data_Point* station, int method);

    // A scheme's whole response (every gate, raw copied in where an older
    // file holds a shorter response), its gate times and raw response.
    // False when the scheme is unknown or no response matches the times.
    static bool unpackWhole(Data_Point* station, int scheme, QVector<double>& response,
                            QVector<double>& times, QVector<double>& raw);
    // Stores response into the scheme's response column; false for an
    // unknown scheme.
    static bool writeResponse(Data_Point* station, int scheme, const QVector<double>& response);
    // Indices of the gates with tmin <= time <= tmax.
    static QVector<int> gatesWithin(const QVector<double>& times, double tmin, double tmax);

    // Project.
    QPointer<LibHORM> database;
    HORM_Collection<Data_Line>* lines = nullptr;
    HORM_Collection<Data_Project>* projects = nullptr;
    QString fileSuffix;

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
    QVector<double> reportDistances;
    QVector<double> reportTimes;
    QVector<QVector<double> > reportCurves;

    // Renumbering.
    Dialog_ChangeName* renameDialog = nullptr;
    bool renameMultiply = true;
    double renameValue = 10.0;
    int renameLineRow = -1;
    QModelIndex renameLineIndex;
};

#endif // HW_MODEL_DATAMODEL_H
