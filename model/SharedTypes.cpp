#include "model/SharedTypes.h"

#include <QMetaType>

namespace {
// Registers the value types once so queued signals can carry them.
struct Registrar {
    Registrar()
    {
        qRegisterMetaType<TEMSampleMODES>("TEMSampleMODES");
        qRegisterMetaType<QSHOWLINE>("QSHOWLINE");
        qRegisterMetaType<GridPattern>("GridPattern");
        qRegisterMetaType<TopoData>("TopoData");
        qRegisterMetaType<InvParam>("InvParam");
        qRegisterMetaType<DataType_ResultData>("DataType_ResultData");
        qRegisterMetaType<DataType_ThreeResultData>("DataType_ThreeResultData");
        qRegisterMetaType<LineInfo>("LineInfo");
        qRegisterMetaType<EditInfo>("EditInfo");
        qRegisterMetaType<LayerModeler>("LayerModeler");
        qRegisterMetaType<QList<DataType_ResultData>>("QList<DataType_ResultData>");
        qRegisterMetaType<QList<DataType_ThreeResultData>>("QList<DataType_ThreeResultData>");
        qRegisterMetaType<QVector<TopoData>>("QVector<TopoData>");
        qRegisterMetaType<QVector<EditInfo>>("QVector<EditInfo>");
        qRegisterMetaType<QVector<QVector<double>>>("QVector<QVector<double> >");
        qRegisterMetaType<QMap<float, QColor>>("QMap<float,QColor>");
    }
};
}

void registerSharedTypes()
{
    static Registrar registrar;
}
