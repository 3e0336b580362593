#include "checks.h"
#include "rawfile.h"
#include "recordcount.h"
#include "testenv.h"

#include "core/apppaths.h"
#include "core/progress.h"
#include "db/changes.h"
#include "db/recordsource.h"
#include "exchange/contactimport.h"
#include "exchange/textsource.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace bm;

namespace
{

// The fields of a contact in the order ContactImport gives them.
enum Field { Name, Address, City, State, Zip, Home, Work, Mobile, Email, Remarks };

QStringList contactWith(std::initializer_list<std::pair<Field, QString>> values)
{
    QStringList c(10);
    for (const auto &[field, value] : values)
        c[field] = value;
    return c;
}

QByteArray quotedLine(const QStringList &fields, char separator = ',')
{
    QStringList quoted;
    for (QString f : fields)
        quoted << QLatin1Char('"') + f.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return quoted.join(QLatin1Char(separator)).toUtf8() + "\r\n";
}

// A file of a program's header row and one row holding the given values
// under the given headings, every other column empty.
QByteArray exportOf(const QStringList &header, const QMap<QString, QString> &values)
{
    QStringList row;
    for (const QString &h : header)
        row << values.value(h);
    return quotedLine(header) + quotedLine(row);
}

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return bytes;
}

// The text as Windows writes Western European letters.
QByteArray windows1252(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text)
        bytes.append(c == QChar(0x20AC) ? '\x80' : c == QChar(0x2013) ? '\x96' : char(c.unicode()));
    return bytes;
}

// Stops the work the n-th time it is told how far it has come.
struct StopAt : Progress {
    int calls = 0;
    int stopAt;
    explicit StopAt(int n)
        : stopAt(n)
    {
    }
    bool advance(qint64, qint64) override { return ++calls < stopAt; }
};

int contactCount()
{
    return test::recordCount(RecordSource(QStringLiteral("count"), QStringLiteral("Phone")));
}

// The headers as the programs write them.
const QStringList googleOld { "Name", "Given Name", "Additional Name", "Family Name", "Yomi Name",
    "Given Name Yomi", "Additional Name Yomi", "Family Name Yomi", "Name Prefix", "Name Suffix", "Initials",
    "Nickname", "Short Name", "Maiden Name", "Birthday", "Gender", "Location", "Billing Information",
    "Directory Server", "Mileage", "Occupation", "Hobby", "Sensitivity", "Priority", "Subject", "Notes",
    "Language", "Photo", "Group Membership", "E-mail 1 - Type", "E-mail 1 - Value", "Phone 1 - Type",
    "Phone 1 - Value", "Phone 2 - Type", "Phone 2 - Value", "Phone 3 - Type", "Phone 3 - Value",
    "Address 1 - Type", "Address 1 - Formatted", "Address 1 - Street", "Address 1 - City",
    "Address 1 - PO Box", "Address 1 - Region", "Address 1 - Postal Code", "Address 1 - Country",
    "Address 1 - Extended Address", "Address 2 - Type", "Address 2 - Formatted", "Address 2 - Street",
    "Address 2 - City", "Address 2 - Region", "Address 2 - Postal Code", "Organization 1 - Type",
    "Organization 1 - Name", "Organization 1 - Yomi Name", "Organization 1 - Title",
    "Organization 1 - Department", "Organization 1 - Symbol", "Organization 1 - Location",
    "Organization 1 - Job Description", "Website 1 - Type", "Website 1 - Value" };
const QStringList googleNew { "First Name", "Middle Name", "Last Name", "Phonetic First Name",
    "Phonetic Middle Name", "Phonetic Last Name", "Name Prefix", "Name Suffix", "Nickname", "File As",
    "Organization Name", "Organization Title", "Organization Department", "Birthday", "Notes", "Photo",
    "Labels", "E-mail 1 - Label", "E-mail 1 - Value", "Phone 1 - Label", "Phone 1 - Value", "Phone 2 - Label",
    "Phone 2 - Value", "Address 1 - Label", "Address 1 - Formatted", "Address 1 - Street", "Address 1 - City",
    "Address 1 - PO Box", "Address 1 - Region", "Address 1 - Postal Code", "Address 1 - Country",
    "Address 1 - Extended Address", "Website 1 - Label", "Website 1 - Value" };
const QStringList outlookEnglish { "Title", "First Name", "Middle Name", "Last Name", "Suffix", "Company",
    "Department", "Job Title", "Business Street", "Business Street 2", "Business Street 3", "Business City",
    "Business State", "Business Postal Code", "Business Country/Region", "Home Street", "Home Street 2",
    "Home Street 3", "Home City", "Home State", "Home Postal Code", "Home Country/Region", "Other Street",
    "Other Street 2", "Other Street 3", "Other City", "Other State", "Other Postal Code",
    "Other Country/Region", "Assistant's Phone", "Business Fax", "Business Phone", "Business Phone 2",
    "Callback", "Car Phone", "Company Main Phone", "Home Fax", "Home Phone", "Home Phone 2", "ISDN",
    "Mobile Phone", "Other Fax", "Other Phone", "Pager", "Primary Phone", "Radio Phone", "TTY/TDD Phone",
    "Telex", "Account", "Anniversary", "Assistant's Name", "Billing Information", "Birthday",
    "Business Address PO Box", "Categories", "Children", "Directory Server", "E-mail Address", "E-mail Type",
    "E-mail Display Name", "E-mail 2 Address", "E-mail 2 Type", "E-mail 2 Display Name", "E-mail 3 Address",
    "E-mail 3 Type", "E-mail 3 Display Name", "Gender", "Government ID Number", "Hobby",
    "Home Address PO Box", "Initials", "Internet Free Busy", "Keywords", "Language", "Location",
    "Manager's Name", "Mileage", "Notes", "Office Location", "Organizational ID Number",
    "Other Address PO Box", "Priority", "Private", "Profession", "Referred By", "Sensitivity", "Spouse",
    "User 1", "User 2", "User 3", "User 4", "Web Page" };
const QStringList outlookGerman { "Anrede", "Vorname", "Weitere Vornamen", "Nachname", "Suffix", "Firma",
    "Abteilung", "Position", "Straße geschäftlich", "Straße geschäftlich 2", "Straße geschäftlich 3",
    "Ort geschäftlich", "Region geschäftlich", "Postleitzahl geschäftlich", "Land/Region geschäftlich",
    "Straße privat", "Straße privat 2", "Straße privat 3", "Ort privat", "Bundesland/Kanton privat",
    "Postleitzahl privat", "Land/Region privat", "Weitere Straße", "Weitere Straße 2", "Weitere Straße 3",
    "Weiterer Ort", "Weiteres/r Bundesland/Kanton", "Weitere Postleitzahl", "Weiteres/r Land/Region",
    "Telefon Assistent", "Fax geschäftlich", "Telefon geschäftlich", "Telefon geschäftlich 2", "Rückmeldung",
    "Autotelefon", "Telefon Firma", "Fax privat", "Telefon privat", "Telefon privat 2", "ISDN",
    "Mobiltelefon", "Weiteres Fax", "Weiteres Telefon", "Pager", "Haupttelefon", "Mobiltelefon 2",
    "Telefon für Hörbehinderte", "Telex", "Abrechnungsinformation", "Benutzer 1", "Beruf", "Büro",
    "Empfohlen von", "Geburtstag", "Geschlecht", "Hobby", "Initialen", "Internet-Frei/Gebucht", "Jahrestag",
    "Kategorien", "Kinder", "Konto", "Name Assistent", "Name des/der Vorgesetzten", "Notizen",
    "Organisations-Nr.", "Ort", "Partner", "Postfach geschäftlich", "Postfach privat", "Priorität", "Privat",
    "Regierungs-Nr.", "Reisekilometer", "Sprache", "Stichwörter", "Vertraulichkeit", "Verzeichnisserver",
    "Weiteres Postfach", "E-Mail-Adresse", "E-Mail-Typ", "E-Mail: Angezeigter Name", "E-Mail 2: Adresse",
    "E-Mail 2: Typ", "E-Mail 2: Angezeigter Name", "Webseite" };
const QStringList yahoo { "First", "Middle", "Last", "Nickname", "Email", "Category", "Distribution Lists",
    "Messenger ID", "Home", "Work", "Pager", "Fax", "Mobile", "Other", "Yahoo Phone", "Primary",
    "Alternate Email 1", "Alternate Email 2", "Personal Website", "Business Website", "Title", "Company",
    "Work Address", "Work City", "Work State", "Work ZIP", "Work Country", "Home Address", "Home City",
    "Home State", "Home ZIP", "Home Country", "Birthday", "Anniversary", "Custom 1", "Custom 2", "Comments" };
const QStringList thunderbird { "First Name", "Last Name", "Display Name", "Nickname", "Primary Email",
    "Secondary Email", "Screen Name", "Work Phone", "Home Phone", "Fax Number", "Pager Number",
    "Mobile Number", "Home Address", "Home Address 2", "Home City", "Home State", "Home ZipCode",
    "Home Country", "Work Address", "Work Address 2", "Work City", "Work State", "Work ZipCode",
    "Work Country", "Job Title", "Department", "Organization", "Web Page 1", "Web Page 2", "Birth Year",
    "Birth Month", "Birth Day", "Custom 1", "Custom 2", "Custom 3", "Custom 4", "Notes" };

} // namespace

class TestContactFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    ContactImport loaded(const QByteArray &bytes)
    {
        ContactImport import;
        const Status s = import.load(test::writeFile(dir->path(), bytes), databasePath());
        if (!s)
            qWarning("%s", qPrintable(s.message()));
        return import;
    }

private slots:
    void init()
    {
        test::resetDatabase();
        dir = std::make_unique<QTemporaryDir>();
    }

    // What each program's export gives: phones by their kind, the home
    // address before the work one, a name from its parts.
    void exportsOfMailPrograms_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("contact");
        QTest::newRow("Google, older") << exportOf(googleOld,
            { { "Given Name", "Ann" }, { "Family Name", "Lee" }, { "Name", "Ann Lee" },
                { "E-mail 1 - Value", "ann@example.com" }, { "Phone 1 - Type", "Work Fax" },
                { "Phone 1 - Value", "555-0100" }, { "Phone 2 - Type", "Mobile" },
                { "Phone 2 - Value", "555-0101 ::: 555-0109" }, { "Phone 3 - Type", "Work" },
                { "Phone 3 - Value", "555-0102" }, { "Address 1 - Type", "Work" },
                { "Address 1 - Street", "9 Dock Rd" }, { "Address 1 - City", "Hollister" },
                { "Address 2 - Type", "Home" }, { "Address 2 - Formatted", "1 Elm St\nBranson, MO 65616" },
                { "Address 2 - Street", "1 Elm St" }, { "Address 2 - City", "Branson" },
                { "Address 2 - Region", "MO" }, { "Address 2 - Postal Code", "65616" },
                { "Organization 1 - Name", "Lee Outfitters" }, { "Organization 1 - Location", "Dock" },
                { "Notes", "likes jigs" } })
                                       << contactWith({ { Name, "Ann Lee" }, { Address, "1 Elm St" },
                                              { City, "Branson" }, { State, "MO" }, { Zip, "65616" },
                                              { Work, "555-0102" }, { Mobile, "555-0101" },
                                              { Email, "ann@example.com" }, { Remarks, "likes jigs" } });
        QTest::newRow("Google, current")
            << exportOf(googleNew,
                   { { "First Name", "Bud" }, { "Last Name", "Ray" }, { "Phone 1 - Label", "* Mobile" },
                       { "Phone 1 - Value", "+1 417-555-0103" }, { "Phone 2 - Label", "Main" },
                       { "Phone 2 - Value", "417-555-0104" }, { "Address 1 - Label", "Home" },
                       { "Address 1 - Street", "2 Oak Ln" }, { "Address 1 - Extended Address", "Apt 4" },
                       { "Address 1 - City", "Ozark" }, { "Address 1 - Region", "MO" },
                       { "Address 1 - Postal Code", "65721" }, { "Address 1 - Country", "US" },
                       { "E-mail 1 - Label", "Home" }, { "E-mail 1 - Value", "bud@example.com" } })
            << contactWith({ { Name, "Bud Ray" }, { Address, "2 Oak Ln, Apt 4" }, { City, "Ozark" },
                   { State, "MO" }, { Zip, "65721" }, { Home, "417-555-0104" }, { Mobile, "+1 417-555-0103" },
                   { Email, "bud@example.com" } });
        QTest::newRow("Outlook, English") << exportOf(outlookEnglish,
            { { "First Name", "Cy" }, { "Last Name", "Dunn" }, { "Business Street", "5 Main St" },
                { "Business City", "Branson" }, { "Home Street", "7 Lake Rd" }, { "Home Street 2", "Box 3" },
                { "Home City", "Kimberling City" }, { "Home State", "MO" }, { "Home Postal Code", "65686" },
                { "Home Country/Region", "United States" }, { "Assistant's Phone", "555-0190" },
                { "Business Fax", "555-0191" }, { "Business Phone", "555-0105" }, { "Car Phone", "555-0106" },
                { "Home Phone", "555-0107" }, { "Mobile Phone", "555-0108" }, { "Pager", "555-0192" },
                { "E-mail Address", "cy@example.com" }, { "E-mail Display Name", "Cy Dunn (cy@example.com)" },
                { "Manager's Name", "Boss" }, { "Notes", "two\r\nlines" } })
                                          << contactWith({ { Name, "Cy Dunn" },
                                                 { Address, "7 Lake Rd, Box 3" }, { City, "Kimberling City" },
                                                 { State, "MO" }, { Zip, "65686" }, { Home, "555-0107" },
                                                 { Work, "555-0105" }, { Mobile, "555-0106" },
                                                 { Email, "cy@example.com" }, { Remarks, "two\r\nlines" } });
        QTest::newRow("Outlook, English, in UTF-16 as Outlook writes it") << utf16(
            QString::fromUtf8(exportOf(outlookEnglish,
                { { "First Name", "Jo" }, { "Last Name", "Kent" }, { "Mobile Phone", "555-0120" } })),
            false) << contactWith({ { Name, "Jo Kent" }, { Mobile, "555-0120" } });
        QTest::newRow("Outlook, German")
            << exportOf(outlookGerman,
                   { { "Vorname", "Jörg" }, { "Weitere Vornamen", "K." }, { "Nachname", "Weiß" },
                       { "Straße geschäftlich", "Hafenstraße 1" }, { "Ort geschäftlich", "Konstanz" },
                       { "Postleitzahl geschäftlich", "78462" }, { "Region geschäftlich", "BW" },
                       { "Land/Region geschäftlich", "Deutschland" },
                       { "Telefon geschäftlich", "07531 1234" }, { "Fax geschäftlich", "07531 9999" },
                       { "Mobiltelefon", "0171 555" }, { "Telefon für Hörbehinderte", "0800 1" },
                       { "E-Mail-Adresse", "joerg@example.de" }, { "E-Mail-Typ", "SMTP" },
                       { "Notizen", "Hecht" } })
            << contactWith({ { Name, "Jörg K. Weiß" }, { Address, "Hafenstraße 1" }, { City, "Konstanz" },
                   { State, "BW" }, { Zip, "78462" }, { Work, "07531 1234" }, { Mobile, "0171 555" },
                   { Email, "joerg@example.de" }, { Remarks, "Hecht" } });
        QTest::newRow("LinkedIn, notes above the header") << QByteArray(
            "Notes:\r\n\"When exporting your connection data, you may notice that some of the "
            "email addresses are missing. You will only see email addresses for connections, "
            "who have allowed it.\"\r\n\r\n"
            "First Name,Last Name,URL,Email Address,Company,Position,Connected On\r\n"
            "Dee,Fox,https://www.linkedin.com/in/dee,dee@example.com,Fox Charters,Owner,"
            "01 Mar 2024\r\n") << contactWith({ { Name, "Dee Fox" }, { Email, "dee@example.com" } });
        QTest::newRow("Yahoo") << exportOf(yahoo,
            { { "First", "Eve" }, { "Last", "Gray" }, { "Email", "eve@example.com" }, { "Home", "555-0111" },
                { "Work", "555-0112" }, { "Mobile", "555-0113" }, { "Fax", "555-0193" },
                { "Work Address", "3 Pier St" }, { "Home Address", "4 Cove Rd" },
                { "Home City", "Reeds Spring" }, { "Home State", "MO" }, { "Home ZIP", "65737" },
                { "Comments", "boat" } })
                               << contactWith({ { Name, "Eve Gray" }, { Address, "4 Cove Rd" },
                                      { City, "Reeds Spring" }, { State, "MO" }, { Zip, "65737" },
                                      { Home, "555-0111" }, { Work, "555-0112" }, { Mobile, "555-0113" },
                                      { Email, "eve@example.com" }, { Remarks, "boat" } });
        QTest::newRow("other exports: Email Home, Home Mobile, Home Street 2")
            << exportOf(
                   { "Full Name", "Email Home", "Home Mobile", "Home Street", "Home Street 2", "Home ZIP" },
                   { { "Full Name", "Gil Hart" }, { "Email Home", "gil@example.com" },
                       { "Home Mobile", "555-0114" }, { "Home Street", "8 Bay Rd" },
                       { "Home Street 2", "Unit 2" }, { "Home ZIP", "65616" } })
            << contactWith({ { Name, "Gil Hart" }, { Address, "8 Bay Rd, Unit 2" }, { Zip, "65616" },
                   { Mobile, "555-0114" }, { Email, "gil@example.com" } });
        QTest::newRow("Thunderbird") << exportOf(thunderbird,
            { { "First Name", "Hal" }, { "Last Name", "Ives" }, { "Display Name", "Hal Ives" },
                { "Primary Email", "hal@example.com" }, { "Secondary Email", "h2@example.com" },
                { "Screen Name", "hal99" }, { "Work Phone", "555-0115" }, { "Mobile Number", "555-0116" },
                { "Fax Number", "555-0194" }, { "Work Address", "6 Ramp Rd" }, { "Work City", "Ozark" },
                { "Work ZipCode", "65721" } })
                                     << contactWith({ { Name, "Hal Ives" }, { Address, "6 Ramp Rd" },
                                            { City, "Ozark" }, { Zip, "65721" }, { Work, "555-0115" },
                                            { Mobile, "555-0116" }, { Email, "hal@example.com" } });
        QTest::newRow("an e-mail and no name")
            << QByteArray("Name,Email,Mobile\r\n,ivy@example.com,555-0117\r\n")
            << contactWith(
                   { { Name, "ivy@example.com" }, { Mobile, "555-0117" }, { Email, "ivy@example.com" } });
        QTest::newRow("an organization and no name")
            << QByteArray("First Name,Company,Phone\r\n,Table Rock Marina,555-0118\r\n")
            << contactWith({ { Name, "Table Rock Marina" }, { Home, "555-0118" } });
    }
    void exportsOfMailPrograms()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, contact);
        const ContactImport import = loaded(file);
        QCOMPARE(import.count(), 1);
        QCOMPARE(import.contact(0), contact);
        QVERIFY(import.problems().isEmpty());
    }

    // A phone's own export: the kinds of its numbers and addresses decide
    // where they go, as in the mail programs' files.
    void cardsOfPhones_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("contact");
        QTest::newRow("iPhone, 3.0 with grouped labels")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\n"
                   "ORG:Lee Outfitters;\r\nitem1.TEL:555-0100\r\nitem1.X-ABLabel:Boat\r\n"
                   "TEL;type=CELL;type=VOICE;type=pref:555-0101\r\nTEL;type=WORK;type=VOICE:555-0102\r\n"
                   "TEL;type=HOME;type=FAX:555-0190\r\n"
                   "item2.ADR;type=WORK:;;9 Dock Rd;Hollister;MO;65672;USA\r\n"
                   "ADR;type=HOME;type=pref:;;1 Elm St;Branson;MO;65616;USA\r\n"
                   "EMAIL;type=INTERNET;type=HOME;type=pref:ann@example.com\r\n"
                   "NOTE:likes jigs\\, spinners\\nand worms\r\nEND:VCARD\r\n")
            << contactWith(
                   { { Name, "Ann Lee" }, { Address, "1 Elm St" }, { City, "Branson" }, { State, "MO" },
                       { Zip, "65616" }, { Home, "555-0100" }, { Work, "555-0102" }, { Mobile, "555-0101" },
                       { Email, "ann@example.com" }, { Remarks, "likes jigs, spinners\nand worms" } });
        QTest::newRow("Android, 2.1 quoted-printable")
            << QByteArray(
                   "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                   "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Wei=C3=9F;J=C3=B6rg;;;\r\n"
                   "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=B6rg Wei=C3=9F\r\n"
                   "TEL;CELL:0171 555\r\nTEL;WORK:07531 1234\r\n"
                   "ADR;WORK;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;Hafenstra=C3=9Fe 1;Konstanz;;=\r\n"
                   "78462;\r\nEND:VCARD\r\n")
            << contactWith({ { Name, "Jörg Weiß" }, { Address, "Hafenstraße 1" }, { City, "Konstanz" },
                   { Zip, "78462" }, { Work, "07531 1234" }, { Mobile, "0171 555" } });
        QTest::newRow("Android, 4.0, no full name")
            << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nN:Ray;Bud;;;\r\n"
                          "TEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-0103\r\n"
                          "TEL;TYPE=cell:+1 555 0104\r\nEND:VCARD\r\n")
            << contactWith({ { Name, "Bud Ray" }, { Home, "+1-555-0103" }, { Mobile, "+1 555 0104" } });
        QTest::newRow("only an e-mail")
            << QByteArray("BEGIN:VCARD\nVERSION:3.0\nFN:\nEMAIL:cy@example.com\nEND:VCARD\n")
            << contactWith({ { Name, "cy@example.com" }, { Email, "cy@example.com" } });
    }
    void cardsOfPhones()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, contact);
        const ContactImport import = loaded(file);
        QCOMPARE(import.format(), ContactImport::Format::VCard);
        QCOMPARE(import.count(), 1);
        QCOMPARE(import.contact(0), contact);
        QCOMPARE(import.preview().first().fields, contact);
    }

    // A card the reader leaves out (a name too long to be a contact's) is
    // listed with its line; the cards around it come in.
    void cardLeftOutIsListed()
    {
        const QByteArray file = "BEGIN:VCARD\r\nFN:Ann Lee\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Bo\r\nX-"
            + QByteArray(5000, 'A') + ":y\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Cy Dunn\r\nEND:VCARD\r\n";
        const ContactImport import = loaded(file);
        QCOMPARE(import.count(), 2);
        QCOMPARE(import.problemCount(), 1);
        QCOMPARE(import.problems().first().line, 4);
        QVERIFY2(import.problems().first().reason.contains(u"its line 6 has a name or parameter longer"),
            qPrintable(import.problems().first().reason));
    }

    // Every encoding with every separator; the byte order mark is never part
    // of the first heading.
    void encodingsAndSeparators_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("encoding");
        const QString text("Name%1City%1Remarks\r\nZoë Ängström%1Montréal%1costs 5 € – cash\r\n");
        for (const char separator : { ',', ';', '\t' }) {
            const QString t = text.arg(QLatin1Char(separator));
            const QByteArray name = separator == '\t' ? "tab" : QByteArray(1, separator);
            QTest::addRow("UTF-8, %s", name.constData()) << t.toUtf8() << "UTF-8";
            QTest::addRow("UTF-8 with its mark, %s", name.constData())
                << "\xEF\xBB\xBF" + t.toUtf8() << "UTF-8";
            QTest::addRow("UTF-16 little-endian, %s", name.constData()) << utf16(t, false) << "UTF-16";
            QTest::addRow("UTF-16 big-endian, %s", name.constData()) << utf16(t, true) << "UTF-16";
            QTest::addRow("Windows-1252, %s", name.constData()) << windows1252(t) << "Windows-1252";
        }
    }
    void encodingsAndSeparators()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, encoding);
        const ContactImport import = loaded(file);
        QCOMPARE(import.encoding(), encoding);
        QCOMPARE(import.header(), QStringList({ "Name", "City", "Remarks" }));
        QCOMPARE(import.contact(0),
            contactWith({ { Name, "Zoë Ängström" }, { City, "Montréal" }, { Remarks, "costs 5 € – cash" } }));
    }

    // A letter cut by the end of a piece of the reading comes through whole.
    void lettersAcrossPieces_data()
    {
        QTest::addColumn<bool>("sixteen");
        QTest::addColumn<int>("shift");
        for (int shift = 0; shift < 4; ++shift) {
            QTest::addRow("UTF-8, shift %d", shift) << false << shift;
            QTest::addRow("UTF-16, shift %d", shift) << true << shift;
        }
    }
    void lettersAcrossPieces()
    {
        QFETCH(bool, sixteen);
        QFETCH(int, shift);
        // A remark of letters of two, three and four bytes that spans many pieces.
        QString remark = QString(shift, QLatin1Char('x'));
        while (remark.size() < 300 * 1024)
            remark += QStringLiteral("é€🎣");
        const QString text = QStringLiteral("Name,Remarks\r\nAnn,\"") + remark + QStringLiteral("\"\r\n");
        const ContactImport import = loaded(sixteen ? utf16(text, false) : text.toUtf8());
        QCOMPARE(import.count(), 1);
        QVERIFY(import.contact(0)[Remarks] == remark);
    }

    void preambleWithQuotesAboveHeader()
    {
        const ContactImport import
            = loaded("Exported by \"the phone\" on Monday\r\n\r\nName,Email\r\nAnn,a@x\r\n");
        QCOMPARE(import.header(), QStringList({ "Name", "Email" }));
        QCOMPARE(import.contact(0), contactWith({ { Name, "Ann" }, { Email, "a@x" } }));
        // below the header a stray quote is still refused
        ContactImport strict;
        const Status s = strict.load(
            test::writeFile(dir->path(), "Name,Email\r\nAnn \"Bud\" Lee,x\r\n"), databasePath());
        QVERIFY(!s);
        QVERIFY2(s.message().contains("on line 2 a quote stands inside a field"), qPrintable(s.message()));
    }

    // Control characters inside a field are text; only a file that is
    // mostly control characters is no text.
    void controlCharactersInFieldsTaken()
    {
        const ContactImport import = loaded("Name,Remarks\r\nAnn,\"bell \x07 and \x12\"\r\n");
        QCOMPARE(import.count(), 1);
        QCOMPARE(import.contact(0)[Remarks], QString("bell \x07 and \x12"));
    }

    void capsRefuseWithTheirLine_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("too many columns") << "Name,Email\r\nAnn,a@x\r\n" + QByteArray(5000, ',') + "\r\n"
                                          << "the row on line 3 has more than 1000 fields.";
        QTest::newRow("field too large")
            << "Name,Remarks\r\nAnn,x\r\nBob,\"" + QByteArray(5 * 1024 * 1024, 'x') + "\"\r\n"
            << "is larger than 4 MB.";
        QTest::newRow("NUL in the text")
            << QByteArray("Name\r\nAnn\r\nB\0b\r\n", 16) << "it is not a text file.";
    }
    void capsRefuseWithTheirLine()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        ContactImport import;
        const Status s = import.load(test::writeFile(dir->path(), file), databasePath());
        QVERIFY(!s);
        QVERIFY2(s.message().contains(message), qPrintable(s.message()));
        QCOMPARE(import.count(), 0);
    }

    // Stopping the reading or the writing part way leaves the stored
    // contacts as they were, and tells no window of a change.
    void stoppedImportWritesNothing_data()
    {
        QTest::addColumn<bool>("whileReading");
        QTest::newRow("while reading") << true;
        QTest::newRow("while writing") << false;
    }
    void stoppedImportWritesNothing()
    {
        QFETCH(bool, whileReading);
        QByteArray file("Name,Mobile Phone\r\n");
        for (int i = 0; i < 2000; ++i)
            file += "Client " + QByteArray::number(i) + ",555-" + QByteArray::number(i) + "\r\n";
        const int before = contactCount();
        QSignalSpy changed(&DataChanges::instance(), &DataChanges::tableChanged);
        ContactImport import;
        StopAt stop(3);
        const Status loaded
            = import.load(test::writeFile(dir->path(), file), databasePath(), whileReading ? &stop : nullptr);
        QCOMPARE(bool(loaded), !whileReading);
        if (loaded) {
            QCOMPARE(import.count(), 2000);
            QVERIFY(!import.commit(nullptr, &stop));
        }
        QVERIFY(import.cancelled());
        QCOMPARE(stop.calls, 3);
        QCOMPARE(contactCount(), before);
        QCOMPARE(changed.count(), 0);
    }
};

BM_TEST_MAIN(TestContactFiles)
#include "test_contactfiles.moc"
