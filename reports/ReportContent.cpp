#include "reports/ReportContent.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include "model/Data_Calc.h"

QString ReportContent::title(double line)
{
    return QStringLiteral("测线 %1 数据处理报告").arg(line);
}

QString ReportContent::workloadHeading() { return QStringLiteral("1. 测线工作量"); }
QString ReportContent::parametersHeading() { return QStringLiteral("2. 测线反演参数"); }
QString ReportContent::elevationHeading() { return QStringLiteral("3. 测点高程值"); }
QString ReportContent::detailsHeading() { return QStringLiteral("4. 测点数据处理详情"); }
QString ReportContent::resultsHeading() { return QStringLiteral("5. 测线成果"); }
QString ReportContent::elevationCaption() { return QStringLiteral("高程数据统计表"); }
QString ReportContent::editCaption() { return QStringLiteral("数据编辑统计表"); }

QString ReportContent::methodText(int selector)
{
    return selector == 1 ? QStringLiteral("瞬态弛豫反演方法") : QStringLiteral("二维瞬态弛豫反演");
}

QString ReportContent::gridText(GridPattern pattern, double spacing)
{
    return pattern == GRID_FIXED ? QStringLiteral("固定网格 网格间距 %1").arg(spacing)
                                 : QStringLiteral("递进网格 递进长度 %1").arg(spacing);
}

QStringList ReportContent::workloadLines(const LineInfo& info)
{
    return {QStringLiteral("起始点号：%1").arg(info.firstStation),
            QStringLiteral("终止点号：%1").arg(info.lastStation),
            QStringLiteral("测点数量：%1 个").arg(info.stationCount),
            QStringLiteral("点距：%1 m").arg(info.stationSpacing)};
}

QStringList ReportContent::parameterLines(const InvParam& param, const QString& methodText,
                                          const QString& gridText)
{
    return {QStringLiteral("约束系数：%1").arg(param.constraintCoefficient),
            QStringLiteral("基准阻值：%1").arg(param.referenceResistivity),
            QStringLiteral("反演系数：%1").arg(param.inversionCoefficient),
            QStringLiteral("反演深度：%1").arg(param.inversionDepth),
            QStringLiteral("反演方法：") + methodText,
            QStringLiteral("网格设置：") + gridText};
}

QStringList ReportContent::elevationHeader()
{
    return {QStringLiteral("点号"), QStringLiteral("高程"), QStringLiteral("点号"), QStringLiteral("高程")};
}

QVector<QStringList> ReportContent::elevationRows(const QVector<TopoData>& topography)
{
    QVector<QStringList> rows;
    for (int k = 0; k < topography.size(); k += 2) {
        QStringList row;
        for (int j = k; j < k + 2; ++j) {
            if (j < topography.size()) {
                row << QString::number(topography.at(j).position, 'g', 6)
                    << QString::number(topography.at(j).elevation, 'g', 6);
            } else {
                row << QString() << QString();
            }
        }
        rows.append(row);
    }
    return rows;
}

QStringList ReportContent::editHeader()
{
    return {QStringLiteral("点号"), QStringLiteral("数据道编辑 %"), QStringLiteral("数据变化率 %(平均)")};
}

QVector<QStringList> ReportContent::editRows(const QVector<EditInfo>& edits)
{
    QVector<QStringList> rows;
    rows.reserve(edits.size());
    for (const EditInfo& e : edits) {
        rows.append({QString::number(e.pointNumber, 'g', 6), QString::number(e.editedPercent, 'f', 2),
                     QString::number(e.meanChangePercent, 'f', 2)});
    }
    return rows;
}

QStringList ReportContent::fontFamilies()
{
    return {QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
}

QFont ReportContent::font(int pointSize, int weight)
{
    const QStringList families = fontFamilies();
    QFont font(families.first(), pointSize, weight);
    font.setFamilies(families);
    return font;
}

QFont ReportContent::chartTitleFont()
{
    return font(24, QFont::Bold);
}

QString ReportContent::chartTitle(double line, double station)
{
    return QStringLiteral("%1线 %2点").arg(line).arg(station);
}

QtCharts::QChart* ReportContent::decayChart(const QVector<double>& gateTimes, const QVector<double>& curve,
                                            double line, double station)
{
    Data_Calc calc(nullptr);
    QtCharts::QChart* chart = calc.makeDecayChart(gateTimes, curve);
    chart->setTitleFont(chartTitleFont());
    chart->setTitle(chartTitle(line, station));
    return chart;
}

QSize ReportContent::chartPictureSize(qreal dpi)
{
    const double s = dpi / 96.0;
    if (s > 1.0)
        return QSize(static_cast<int>((s - 1.0) * 1000.0 * 0.5 + 1000.0),
                     static_cast<int>((s - 1.0) * 1200.0 * 0.5 + 1200.0));
    return QSize(1000, 1200);
}

QSize ReportContent::chartPictureSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return chartPictureSize(screen ? screen->logicalDotsPerInch() : 96.0);
}

QPixmap ReportContent::chartPicture(QtCharts::QChart* chart, const QSize& size)
{
    // The view owns the chart from here on and takes it along.
    QtCharts::QChartView view(chart);
    view.resize(size);
    view.setStyleSheet(QStringLiteral("background-color: white;"));
    return view.grab(QRect(QPoint(0, 0), QSize(-1, -1)));
}
