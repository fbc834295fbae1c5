// PatientInfo.xml: the written file is its golden file to the byte, every text comes back
// exactly, and the reader refuses anything but a sound file of that layout.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <tuple>

#include "history/PatientInfoXml.h"

namespace {

PatientRecord Sample()
{
    return {12, QString::fromUtf8("李 \"O'Neil\" &<>"), 20, 170, 100, 2, 1,
            QString::fromUtf8("第一行\r\n'second'\tline \"%\""), "00001234", "2009-03-07 09:05:41", 0};
}

QByteArray SampleXml()
{
    return WritePatientInfoXml(Sample()).value();
}

// The facts an import takes over.
QStringList Facts(const PatientRecord& r)
{
    return {r.Name, r.Other, r.ClinicalNo,
            QString("%1 %2 %3 %4 %5").arg(r.Age).arg(r.Height).arg(r.Weight).arg(r.Blood).arg(r.Sex)};
}

// The sample file with one textual change; the change must be there, or the test proves nothing.
QByteArray Edited(const QString& from, const QString& to)
{
    QString text = QString::fromUtf8(SampleXml());
    EXPECT_TRUE(text.contains(from)) << from.toStdString();
    text.replace(from, to);
    return text.toUtf8();
}

}  // namespace

// The file other installations read, byte for byte: the rowset layout with its schema part (the
// eleven columns in table order with their types) and one row of attributes.
TEST(PatientInfoXml, WrittenFileMatchesItsGoldenFile)
{
    QFile golden(CORVIDA_SOURCE_DIR "/tests/history/golden/PatientInfo.xml");
    if (qEnvironmentVariableIsSet("CORVIDA_WRITE_GOLDEN") && golden.open(QIODevice::WriteOnly))
        golden.write(SampleXml());
    golden.close();
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(SampleXml()), QString::fromUtf8(golden.readAll()));
}

TEST(PatientInfoXml, EveryTextComesBackExactly_TextsXmlCannotCarryAreNotWritten)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // outside the basic plane
    const struct {
        const char* name;
        QString text, other, clinical;
    } cases[] = {
        {"quotes and markup", "a'b\"c&d<e>f", "'';--\"", "'\"&<>"},
        {"chinese", QString::fromUtf8("王小明"), QString::fromUtf8("心悸，胸闷\r\n复查"), "12"},
        {"white space", "  a  ", "\r\n\t \r\n", " "},
        {"longest chinese", QString(10, QChar(0x738B)), QString(100, QChar(0x4E2D)), QString(4, QChar(0x4E2D))},
        {"surrogate pairs", emoji + "x", emoji.repeated(100), emoji},
        {"percent and entities", "%d%s", "&amp; &#x41; ]]>" + QString(QChar(0xFFFD)), "%"},
    };
    for (const auto& c : cases) {
        PatientRecord r = Sample();
        std::tie(r.Name, r.Other, r.ClinicalNo) = std::tie(c.text, c.other, c.clinical);
        const std::optional<PatientRecord> back = ReadPatientInfoXml(WritePatientInfoXml(r).value_or(""));
        ASSERT_TRUE(back) << c.name;
        EXPECT_EQ(Facts(*back), Facts(r)) << c.name;
        // What an import does not use stays at the defaults.
        EXPECT_TRUE(back->PatientID == 0 && back->NewDate.isEmpty()) << c.name;
    }
    for (const char16_t bad : {0xD800, 0xFFFF}) {
        PatientRecord r = Sample();
        r.Other = "a" + QString(QChar(bad)) + "b";
        EXPECT_FALSE(WritePatientInfoXml(r)) << int(bad);
    }
}

TEST(PatientInfoXml, ReaderAcceptsTheLayoutsVariants_RefusesBadFiles)
{
    struct Case {
        const char* name;
        QByteArray xml;
    };
    const Case variants[] = {
        {"xml declaration", "<?xml version='1.0' encoding='UTF-8'?>\n" + SampleXml()},
        {"padded to the limit exactly", SampleXml() + QByteArray(kMaxPatientInfoBytes - SampleXml().size(), ' ')},
    };
    for (const auto& c : variants) {
        std::optional<PatientRecord> r = ReadPatientInfoXml(c.xml);
        ASSERT_TRUE(r) << c.name;
        EXPECT_EQ(Facts(*r), Facts(Sample())) << c.name;
    }

    // A NULL value (no attribute) reads as empty text or 0.
    const QString text = QString::fromUtf8(SampleXml()).remove(QRegularExpression(" (Other|Age)='[^']*'(?=[^>]*/>)"));
    PatientRecord r = Sample();
    r.Age = 0;
    r.Other.clear();
    EXPECT_EQ(Facts(ReadPatientInfoXml(text.toUtf8()).value_or(PatientRecord())), Facts(r));

    const QString dtd =
        "<!DOCTYPE xml [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;'>]>\n";
    const Case refused[] = {
        {"second root", SampleXml() + "<xml/>"}, {"undeclared entity", Edited("Name='", "Name='&nope;")},
        {"entity bomb", (dtd + QString::fromUtf8(SampleXml()).replace("Name='", "Name='&b;")).toUtf8()},
        {"invalid utf-8", SampleXml().replace("Name='", "Name='\xC3\x28")},
        {"wrong row namespace", Edited("xmlns:z='#RowsetSchema'", "xmlns:z='#Other'")},
        {"no schema", Edited("<s:Schema id='RowsetSchema'>", "<s:Other>").replace("</s:Schema>", "</s:Other>")},
        {"no data part", Edited("<rs:data>", "<rs:other>").replace("</rs:data>", "</rs:other>")},
        {"not a number", Edited("Age='20'", "Age='20a'")}, {"heavy", Edited("Weight='100'", "Weight='2001'")},
        {"huge number", Edited("Height='170'", "Height='" + QString(5000, '9') + "'")},
        {"eleven chinese characters in the name",
         Edited(QString::fromUtf8("李 &quot;O&apos;Neil&quot; &amp;&lt;&gt;"), QString(11, QChar(0x738B)))},
        {"undeclared value", Edited("Isdel='0'", "Isdel='0' Extra='1'")},
        {"too large", SampleXml() + QByteArray(kMaxPatientInfoBytes, ' ')},
    };
    for (const auto& c : refused)
        EXPECT_FALSE(ReadPatientInfoXml(c.xml)) << c.name;
}
