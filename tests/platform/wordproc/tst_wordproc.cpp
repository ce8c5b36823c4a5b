// Builds documents through the word-processor object model and reads the
// saved package back with libzip.

#include "platform/wordproc/WordApplication.h"
#include "platform/wordproc/WordDocument.h"
#include "platform/wordproc/WordSelection.h"
#include "platform/wordproc/WordTable.h"

#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <cmath>

#include "common/ZipArchive.h"

using hwtest::ZipEntry;

namespace {

const QString kW = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");

bool wellFormed(const QByteArray& xml, QString* why)
{
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        r.readNext();
    if (r.hasError())
        *why = r.errorString();
    return !r.hasError();
}

// The body read back: paragraph texts in order, table cells row by row.
struct Body {
    QStringList paragraphs;                 // top-level paragraphs
    QVector<QVector<QStringList>> tables;   // table -> row -> cell texts
    int sectionBreaks = 0;                  // section ends inside paragraphs
    QStringList boldTexts;
    QStringList centredTexts;
    QStringList headingTexts;               // texts with an outline level
    QVector<QPair<qint64, qint64>> extents; // picture sizes in EMU
    QStringList embeds;
    QSet<QString> fonts;
    QSet<QString> languages;                // East Asian language of the runs
    QMap<QString, int> sizeOf;              // run text -> half points
};

Body parseBody(const QByteArray& xml)
{
    Body b;
    QXmlStreamReader r(xml);
    int tableDepth = 0;
    QString paragraph, run;
    bool bold = false, centred = false, heading = false;
    int size = 0;
    while (!r.atEnd()) {
        r.readNext();
        const QStringRef name = r.name();
        if (r.isStartElement()) {
            if (name == "tbl") {
                ++tableDepth;
                b.tables.append(QVector<QStringList>());
            } else if (name == "tr") {
                b.tables.last().append(QStringList());
            } else if (name == "p") {
                paragraph.clear();
                centred = heading = false;
            } else if (name == "r") {
                run.clear();
                bold = false;
                size = 0;
            } else if (name == "b") {
                bold = true;
            } else if (name == "sz") {
                size = r.attributes().value(kW, "val").toInt();
            } else if (name == "jc") {
                centred = r.attributes().value(kW, "val") == QLatin1String("center");
            } else if (name == "outlineLvl") {
                heading = true;
            } else if (name == "sectPr" && r.namespaceUri() == kW) {
                // counted below when inside a paragraph
            } else if (name == "type" && r.attributes().value(kW, "val") == QLatin1String("nextPage")) {
                ++b.sectionBreaks;
            } else if (name == "t") {
                const QString t = r.readElementText();
                run += t;
                paragraph += t;
            } else if (name == "rFonts") {
                b.fonts.insert(r.attributes().value(kW, "eastAsia").toString());
            } else if (name == "lang") {
                b.languages.insert(r.attributes().value(kW, "eastAsia").toString());
            } else if (name == "extent") {
                b.extents.append({r.attributes().value("cx").toLongLong(), r.attributes().value("cy").toLongLong()});
            } else if (name == "blip") {
                b.embeds << r.attributes().value("http://schemas.openxmlformats.org/officeDocument/2006/relationships",
                                                 "embed").toString();
            }
        } else if (r.isEndElement()) {
            if (name == "tbl") {
                --tableDepth;
            } else if (name == "r" && !run.isEmpty()) {
                if (bold)
                    b.boldTexts << run;
                b.sizeOf[run] = size;
            } else if (name == "p") {
                if (centred && !paragraph.isEmpty())
                    b.centredTexts << paragraph;
                if (heading)
                    b.headingTexts << paragraph;
                if (tableDepth > 0)
                    b.tables.last().last().append(paragraph);
                else
                    b.paragraphs << paragraph;
            }
        }
    }
    return b;
}

// The font table: each font's name with its alternatives (altName).
QMap<QString, QString> parseFontTable(const QByteArray& xml)
{
    QMap<QString, QString> fonts;
    QXmlStreamReader r(xml);
    QString font;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("font")) {
            font = r.attributes().value(kW, "name").toString();
            fonts.insert(font, QString());
        } else if (r.name() == QLatin1String("altName")) {
            fonts[font] = r.attributes().value(kW, "val").toString();
        }
    }
    return fonts;
}

} // namespace

class TestWordProc : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString makeImage(const QString& name, int w, int h, const char* format = "PNG")
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(QColor(200, 30, 30));
        img.setDotsPerMeterX(3780); // 96 dpi
        img.setDotsPerMeterY(3780);
        const QString path = m_dir.filePath(name);
        img.save(path, format);
        return path;
    }

    bool load(const QString& path, QMap<QString, ZipEntry>* entries)
    {
        hwtest::ZipArchive archive;
        QString why;
        const bool ok = hwtest::readZip(path, &archive, &why);
        if (!ok)
            qWarning() << why;
        *entries = archive.entries;
        return ok;
    }

    // Bordered table with a bold header row, as the report writes them.
    static WordTable* borderedTable(WordSelection* sel, const QStringList& header, const QVector<QStringList>& rows)
    {
        WordTable* t = sel->addTable(rows.size() + 1, header.size());
        if (!t)
            return nullptr;
        t->setVerticallyCentered(true);
        t->setRowHeightRule(2);
        t->setRowHeight(30);
        for (int i = 1; i <= 6; ++i) {
            WordBorder* b = t->border(i);
            b->lineStyle = 1;
            b->lineWidth = 1;
            b->color = 0;
        }
        for (int c = 0; c < header.size(); ++c) {
            WordCell* cell = t->cell(1, c + 1);
            cell->setVerticalAlignment(1);
            cell->setText(header[c]);
            cell->font().bold = true;
        }
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < rows[r].size(); ++c)
                t->cell(r + 2, c + 1)->setText(rows[r][c]);
        return t;
    }

    static void format(WordSelection* sel, int outline, int align, int size, bool bold, int indent, int spacing)
    {
        WordParagraphFormat& p = sel->paragraphFormat();
        p.lineSpacingRule = spacing;
        p.alignment = align;
        p.outlineLevel = outline;
        p.firstLineIndent = indent;
        p.spaceBefore = 0;
        p.spaceAfter = 0;
        WordFont& f = sel->font();
        f.name = QStringLiteral("宋体");
        f.size = size;
        f.bold = bold;
        f.color = 0;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A report-shaped document: headings, body lines, a bordered table, a
    // borderless picture table with an empty last cell, section breaks and
    // a centred picture at its own size.
    void reportDocument()
    {
        WordApplication app;
        QVERIFY(app.setControl("word.Application"));
        app.setVisible(false);
        WordDocument* doc = app.addDocument();
        QVERIFY(doc);
        QCOMPARE(app.activeDocument(), doc);
        doc->setFontAlternatives("宋体", {"SimSun", "WenQuanYi Micro Hei"});
        doc->setFontAlternatives("unused", {"Other"});
        doc->setEastAsianLanguage("zh-CN");
        const double pageWidth = doc->pageSetup().pageWidth;
        const double pageHeight = doc->pageSetup().pageHeight;
        WordSelection* sel = app.selection();
        QVERIFY(sel);

        format(sel, 1, 1, 24, true, 0, 1);
        sel->typeText("测线 7 数据处理报告\n");
        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("1. 测线工作量\n");
        format(sel, 10, 0, 12, false, 28, 1);
        sel->typeText("起始点号：100\n");
        sel->typeText("测点数量：3 个\n");

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("3. 测点高程值\n");
        format(sel, 10, 1, 12, false, 0, 0);
        sel->typeText("高程数据统计表\n");
        QVERIFY(borderedTable(sel, {"点号", "高程", "点号", "高程"},
                              {{"100", "12.5", "110", "13"}, {"120", "14.25", "", ""}}));
        sel->insertBreak(2);

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("4. 测点数据处理详情\n");
        format(sel, 10, 0, 12, false, 0, 1);
        WordTable* pictures = sel->addTable(2, 2);
        QVERIFY(pictures);
        pictures->setPreferredWidthType(2);
        pictures->setPreferredWidth(100);
        pictures->setBordersEnabled(false);
        pictures->autoFitBehavior(2);
        const QString chart = makeImage("temp_chart.png", 100, 120);
        for (int k = 0; k < 3; ++k) {
            WordCell* cell = pictures->cell(k / 2 + 1, k % 2 + 1);
            cell->setVerticalAlignment(1);
            WordInlineShape* shape = cell->addPicture(chart);
            QVERIFY(shape);
            shape->setWidth(pageWidth / 3);
            shape->setHeight(pageHeight / 3);
        }
        format(sel, 10, 1, 12, false, 0, 0);
        sel->typeText("数据编辑统计表\n");
        QVERIFY(borderedTable(sel, {"点号", "数据道编辑 %", "数据变化率 %(平均)"}, {{"100", "12.50", "3.00"}}));
        sel->insertBreak(2);

        format(sel, 2, 0, 16, true, 0, 1);
        sel->typeText("5. 测线成果\n");
        format(sel, 10, 1, 12, false, 0, 1);
        WordInlineShape* contour = sel->addPicture(makeImage("contour.jpg", 192, 96, "JPEG"));
        QVERIFY(contour);
        QCOMPARE(contour->width(), 144.0);  // 192 px at 96 dpi
        QCOMPARE(contour->height(), 72.0);

        const QString path = m_dir.filePath("report.docx");
        QString error;
        QVERIFY2(doc->saveAs(path, &error), qPrintable(error));
        QVERIFY(app.closeDocument(doc, true));
        app.quit();
        QCOMPARE(app.documentCount(), 0);

        QMap<QString, ZipEntry> zip;
        QVERIFY(load(path, &zip));
        for (const char* part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml", "word/fontTable.xml",
                                 "word/_rels/document.xml.rels", "word/media/image1.png", "word/media/image4.jpeg"})
            QVERIFY2(zip.contains(part), part);
        QCOMPARE(zip.size(), 9); // three chart copies and the contour picture
        QCOMPARE(zip.value("word/document.xml").method, ZIP_CM_DEFLATE);
        QCOMPARE(zip.value("word/media/image1.png").method, ZIP_CM_STORE);
        for (auto it = zip.cbegin(); it != zip.cend(); ++it) {
            QString why;
            if (it.key().endsWith(".xml") || it.key().endsWith(".rels"))
                QVERIFY2(wellFormed(it.value().data, &why), qPrintable(it.key() + ": " + why));
        }
        QFile chartFile(chart);
        QVERIFY(chartFile.open(QIODevice::ReadOnly));
        QCOMPARE(zip.value("word/media/image2.png").data, chartFile.readAll());

        const QByteArray types = zip.value("[Content_Types].xml").data;
        QVERIFY(types.contains("Extension=\"png\" ContentType=\"image/png\""));
        QVERIFY(types.contains("Extension=\"jpeg\" ContentType=\"image/jpeg\""));
        QVERIFY(types.contains("/word/document.xml"));
        QVERIFY(types.contains("PartName=\"/word/fontTable.xml\""));
        QVERIFY(zip.value("_rels/.rels").data.contains("Target=\"word/document.xml\""));
        const QByteArray rels = zip.value("word/_rels/document.xml.rels").data;
        QVERIFY(rels.contains("Target=\"fontTable.xml\""));

        const Body body = parseBody(zip.value("word/document.xml").data);
        QCOMPARE(body.paragraphs.mid(0, 8),
                 (QStringList{"测线 7 数据处理报告", "1. 测线工作量", "起始点号：100", "测点数量：3 个",
                              "3. 测点高程值", "高程数据统计表", "", "4. 测点数据处理详情"}));
        QVERIFY(body.paragraphs.contains("数据编辑统计表"));
        QVERIFY(body.paragraphs.contains("5. 测线成果"));
        QCOMPARE(body.tables.size(), 3);
        QCOMPARE(body.tables[0].size(), 3);
        QCOMPARE(body.tables[0][0], (QStringList{"点号", "高程", "点号", "高程"}));
        QCOMPARE(body.tables[0][2], (QStringList{"120", "14.25", "", ""}));
        QCOMPARE(body.tables[1].size(), 2);
        QCOMPARE(body.tables[2][1], (QStringList{"100", "12.50", "3.00"}));
        QCOMPARE(body.sectionBreaks, 3); // two breaks and the document's own section
        QVERIFY(body.boldTexts.contains("数据变化率 %(平均)"));
        QVERIFY(!body.boldTexts.contains("12.50"));
        QVERIFY(body.boldTexts.contains("测线 7 数据处理报告"));
        QCOMPARE(body.sizeOf.value("测线 7 数据处理报告"), 48);
        QCOMPARE(body.sizeOf.value("起始点号：100"), 24);
        QVERIFY(body.centredTexts.contains("高程数据统计表"));
        QVERIFY(!body.centredTexts.contains("起始点号：100"));
        QCOMPARE(body.headingTexts, (QStringList{"测线 7 数据处理报告", "1. 测线工作量", "3. 测点高程值",
                                                 "4. 测点数据处理详情", "5. 测线成果"}));
        QCOMPARE(body.fonts, QSet<QString>{"宋体"});
        QCOMPARE(body.languages, QSet<QString>{"zh-CN"});
        // Only fonts the text uses, with the alternatives a reader takes
        // where it lacks them.
        const QMap<QString, QString> fontTable = parseFontTable(zip.value("word/fontTable.xml").data);
        QCOMPARE(fontTable, (QMap<QString, QString>{{"宋体", "SimSun,WenQuanYi Micro Hei"}}));

        QCOMPARE(body.extents.size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(body.extents[i].first, qRound64(pageWidth / 3 * 12700));
            QCOMPARE(body.extents[i].second, qRound64(pageHeight / 3 * 12700));
        }
        QCOMPARE(body.extents[3], qMakePair(qint64(144 * 12700), qint64(72 * 12700)));
        QCOMPARE(body.embeds.size(), 4);
        for (const QString& id : body.embeds)
            QVERIFY2(rels.contains(("Id=\"" + id + "\"").toUtf8()), qPrintable(id));
    }

    // Typing splits paragraphs on line ends, keeps tables apart, drops
    // characters XML cannot carry, and refuses what cannot be built.
    void editingRules()
    {
        WordApplication app;
        QVERIFY(!app.addDocument()); // no server chosen yet
        QVERIFY(app.setControl("kwps.Application"));
        WordDocument* doc = app.addDocument();
        WordSelection* sel = doc->selection();

        sel->typeText("a\r\nb\rc\nd\x01" "e\tf");
        QVERIFY(sel->addTable(1, 1));
        QVERIFY(sel->addTable(1, 2)); // must not merge with the first
        QVERIFY(!sel->addTable(0, 2)); // no stations: no picture table
        WordTable* t = sel->addTable(2, 2);
        QVERIFY(!t->cell(3, 1));
        QVERIFY(!t->cell(1, 0));
        QVERIFY(!t->border(7));
        QCOMPARE(t->border(-1), t->border(1));
        t->cell(1, 1)->setText("x");
        QVERIFY(!t->cell(1, 2)->addPicture(m_dir.filePath("missing.png")));
        QVERIFY(!sel->addPicture(m_dir.filePath("missing.png")));
        QVERIFY(!sel->insertBreak(99));
        sel->typeText("tail");

        const QString path = m_dir.filePath("rules.docx");
        QVERIFY(doc->saveAs(path));
        QMap<QString, ZipEntry> zip;
        QVERIFY(load(path, &zip));
        QCOMPARE(zip.size(), 5); // no media
        QString why;
        const QByteArray xml = zip.value("word/document.xml").data;
        QVERIFY2(wellFormed(xml, &why), qPrintable(why));
        const Body body = parseBody(xml);
        QCOMPARE(body.paragraphs.mid(0, 4), (QStringList{"a", "b", "c", "def"}));
        QVERIFY(xml.contains("<w:tab/>"));
        QCOMPARE(body.tables.size(), 3);
        QVERIFY(body.paragraphs.size() >= 7); // a..d, two separators, "tail"
        QCOMPARE(body.paragraphs.last(), QString("tail"));
        QVERIFY(!xml.contains("</w:tbl><w:tbl>"));
        // No language set, no alternatives given: the font table names the
        // default font alone.
        QVERIFY(!xml.contains("w:lang"));
        QCOMPARE(parseFontTable(zip.value("word/fontTable.xml").data), (QMap<QString, QString>{{"Times New Roman", ""}}));
    }

    void control_data()
    {
        QTest::addColumn<QString>("progId");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("word") << "word.Application" << true;
        QTest::newRow("wps") << "kwps.Application" << true;
        QTest::newRow("upper case") << "WORD.APPLICATION" << true;
        QTest::newRow("other server") << "excel.Application" << false;
        QTest::newRow("empty") << "" << false;
    }

    void control()
    {
        QFETCH(QString, progId);
        QFETCH(bool, accepted);
        WordApplication app;
        QCOMPARE(app.setControl(progId), accepted);
        QCOMPARE(app.isNull(), !accepted);
        QCOMPARE(app.addDocument() != nullptr, accepted);
    }

    // With the aspect ratio locked, setting one side scales the other;
    // unlocked, the sides are set apart (the picture then stretches).
    void pictureAspectRatio()
    {
        WordApplication app;
        app.setControl("word.Application");
        WordInlineShape* shape = app.addDocument()->selection()->addPicture(makeImage("wide.png", 400, 100));
        QVERIFY(shape);
        QCOMPARE(shape->width(), 300.0);
        QCOMPARE(shape->height(), 75.0);
        QVERIFY(!shape->lockAspectRatio());
        shape->setLockAspectRatio(true);
        shape->setWidth(150.0);
        QCOMPARE(shape->height(), 37.5);
        shape->setHeight(75.0);
        QCOMPARE(shape->width(), 300.0);
        shape->setWidth(-1.0); // ignored
        QCOMPARE(shape->width(), 300.0);
        QCOMPARE(shape->height(), 75.0);
        shape->setLockAspectRatio(false);
        shape->setWidth(100.0);
        QCOMPARE(shape->height(), 75.0);
    }

    // A failed save reports why and leaves an existing file untouched.
    void saveFailures()
    {
        WordApplication app;
        app.setControl("word.Application");
        WordDocument* doc = app.addDocument();
        doc->selection()->typeText("x");
        QString error;
        QVERIFY(!doc->saveAs(m_dir.filePath("no/such/dir/a.docx"), &error));
        QVERIFY(error.contains("cannot save"));
        QVERIFY(!doc->saveAs(QString(), &error));
        QVERIFY(!doc->saveAs(m_dir.path(), &error)); // a directory
        QVERIFY(doc->fullName().isEmpty());
        QVERIFY(app.closeDocument(doc, true)); // never saved: nothing to write
    }

    // An office suite, when one happens to be installed, opens the file.
    void convertsWithOfficeSuite()
    {
        QString office = QStandardPaths::findExecutable("libreoffice");
        if (office.isEmpty())
            office = QStandardPaths::findExecutable("soffice");
        if (office.isEmpty())
            QSKIP("no office suite installed");

        WordApplication app;
        app.setControl("word.Application");
        WordDocument* doc = app.addDocument();
        doc->selection()->typeText("转换测试\n");
        WordTable* t = doc->selection()->addTable(1, 2);
        t->cell(1, 1)->setText("a");
        t->cell(1, 2)->addPicture(makeImage("c.png", 20, 20));
        const QString path = m_dir.filePath("convert.docx");
        QVERIFY(doc->saveAs(path));

        QProcess p;
        p.start(office, {"--headless", "--convert-to", "pdf", "--outdir", m_dir.path(), path});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY(QFile::exists(m_dir.filePath("convert.pdf")));
    }
};

QTEST_GUILESS_MAIN(TestWordProc)
#include "tst_wordproc.moc"
