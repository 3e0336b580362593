#include "schema/schema.h"

#include "schema/fields.h"

namespace bm::schema
{

namespace
{

QList<FieldDef> texts(const QStringList &names)
{
    QList<FieldDef> fields;
    for (const QString &n : names)
        fields.append({ n, FieldKind::Text });
    return fields;
}

QList<TableDef> makeTables()
{
    const FieldKind T = FieldKind::Text, D = FieldKind::Date, A = FieldKind::Amount;
    QList<TableDef> t;
    t.append({ table::LakesFished, texts({ field::LakesFished::Lake }) });
    t.append({ table::Marinas, texts({ field::Marinas::Ramps }) });
    t.append({ table::Lures, texts({ field::Lures::Bait }) });
    t.append({ table::LureColor, texts({ field::LureColor::Color }) });
    t.append({ table::Species, texts({ field::Species::Fish }) });
    t.append({ table::TripType, texts({ field::TripType::TripType }) });
    t.append({ table::TripRates, texts({ field::TripRates::TripRates }) });
    t.append({ table::Deposits, texts({ field::Deposits::Deposits }) });
    t.append({ table::GuideInfo,
        texts({ field::GuideInfo::GuideName, field::GuideInfo::Address, field::GuideInfo::City,
            field::GuideInfo::State, field::GuideInfo::ZipCode, field::GuideInfo::Phone,
            field::GuideInfo::Email, field::GuideInfo::Website }) });
    t.last().fields.append({ field::GuideInfo::License, T, 12 });
    t.append({ table::Phone,
        texts({ field::Phone::Name, field::Phone::Address, field::Phone::City, field::Phone::State,
            field::Phone::ZipCode, field::Phone::HomeTelephoneNumber, field::Phone::WorkTelephoneNumber,
            field::Phone::MobilePhoneNumber, field::Phone::Email, field::Phone::Remarks }) });
    t.append({ table::Booking,
        { { field::Booking::Date, D }, { field::Booking::Lake, T }, { field::Booking::Type, T },
            { field::Booking::Name, T }, { field::Booking::MeetAt, T }, { field::Booking::Address, T },
            { field::Booking::Address2, T }, { field::Booking::City, T }, { field::Booking::State, T },
            { field::Booking::ZipCode, T }, { field::Booking::Telephone, T },
            { field::Booking::WorkPhone, T }, { field::Booking::CellPhone, T }, { field::Booking::Email, T },
            { field::Booking::Lodging, T }, { field::Booking::Notes, T }, { field::Booking::TotalCharge, A },
            { field::Booking::DepositAmount, A }, { field::Booking::BalanceDue, A },
            { field::Booking::DepositReceived, D }, { field::Booking::PaidBy, T },
            { field::Booking::BillingNotes, T }, { field::Booking::Weather, T },
            { field::Booking::AirTemp, T }, { field::Booking::WindDirection, T },
            { field::Booking::WindSpeed, T }, { field::Booking::LakeArea, T }, { field::Booking::Depth, T },
            { field::Booking::WaterTemp, T }, { field::Booking::WaterColor, T },
            { field::Booking::Structure, T }, { field::Booking::Species, T },
            { field::Booking::TotalFish, T }, { field::Booking::BigFish, T }, { field::Booking::Weight, T },
            { field::Booking::Length, T }, { field::Booking::Lure, T }, { field::Booking::LureColor, T },
            { field::Booking::Remarks, T }, { field::Booking::GSQty, T }, { field::Booking::GSTotal, A },
            { field::Booking::Goods, T }, { field::Booking::GoodsQty, T }, { field::Booking::GoodsCost, A },
            { field::Booking::GoodsTotal, A }, { field::Booking::SubTotal, A },
            { field::Booking::TaxRate, T }, { field::Booking::Tax, A }, { field::Booking::ChargeTotal, A },
            { field::Booking::LessDeposit, A }, { field::Booking::Picture, T },
            { field::Booking::Guide, T, 6 }, { field::Booking::Status, T, 7 },
            { field::Booking::PartySize, T, 7 }, { field::Booking::StartTime, T, 7 },
            { field::Booking::Days, T, 12 } } });
    t.append({ table::Reminder, { { field::Reminder::Date, D }, { field::Reminder::Reminder, T } } });
    t.append({ table::Diary,
        { { field::Diary::Date, D }, { field::Diary::Subject, T }, { field::Diary::Page, T } } });
    t.append({ table::Patterns,
        texts({ field::Patterns::Lake, field::Patterns::Month, field::Patterns::MoonPhase,
            field::Patterns::AirTemp, field::Patterns::WaterTemp, field::Patterns::Structure,
            field::Patterns::BestDepth, field::Patterns::Lure, field::Patterns::LureColor,
            field::Patterns::Pattern, field::Patterns::Remarks }) });
    t.append({ table::Rods,
        texts({ field::Rods::ReelMake, field::Rods::ReelModel, field::Rods::ReelType, field::Rods::ReelNote,
            field::Rods::RodMake, field::Rods::RodModel, field::Rods::RodLength, field::Rods::RodNote }) });
    t.append({ table::Boat,
        texts({ field::Boat::Boat, field::Boat::Serial, field::Boat::Maint, field::Boat::Motor,
            field::Boat::SerialM, field::Boat::MaintM }) });
    t.append({ table::Equipment,
        texts({ field::Equipment::Item, field::Equipment::Make, field::Equipment::Model,
            field::Equipment::SerialNo, field::Equipment::Price, field::Equipment::Remarks }) });
    // The position of the guide's home water, in decimal degrees written
    // with a point ("36.6", "-93.3"), north and east positive; one record.
    t.append({ table::HomeWater,
        { { field::HomeWater::Latitude, T, 4 }, { field::HomeWater::Longitude, T, 4 } }, 4 });
    // The lodge's guides: a booking's Guide holds one's Name. Active is
    // "Yes" or "No"; Login is the guide's own name on the shared database's
    // server, which tells who saved what.
    t.append({ table::Guides,
        { { field::Guides::Name, T, 6 }, { field::Guides::Phone, T, 6 }, { field::Guides::Email, T, 6 },
            { field::Guides::Active, T, 6 }, { field::Guides::Login, T, 6 },
            { field::Guides::License, T, 12 } },
        6 });
    // The booking page: what makes a day open to clients (one record;
    // Weekdays holds the worked days as digits, 1 for Monday to 7 for
    // Sunday; the counts are whole numbers; an empty season day is no
    // limit), the trips it offers, the days off (an empty Guide closes the
    // day for every guide) and the requests clients made there, each with
    // the digest of the client's own link and the reason of a refusal.
    t.append({ table::BookingPage,
        { { field::BookingPage::SeasonStart, D, 7 }, { field::BookingPage::SeasonEnd, D, 7 },
            { field::BookingPage::Weekdays, T, 7 }, { field::BookingPage::TripsPerGuide, T, 7 },
            { field::BookingPage::NoticeDays, T, 7 }, { field::BookingPage::DaysAhead, T, 7 },
            { field::BookingPage::CancelDays, T, 7 } },
        7 });
    t.append({ table::PageTrips,
        { { field::PageTrips::TripType, T, 7 }, { field::PageTrips::Length, T, 7 },
            { field::PageTrips::StartTime, T, 7 }, { field::PageTrips::Price, A, 7 },
            { field::PageTrips::Deposit, A, 7 }, { field::PageTrips::LargestParty, T, 7 } },
        7 });
    t.append({ table::DaysOff, { { field::DaysOff::Guide, T, 7 }, { field::DaysOff::Date, D, 7 } }, 7 });
    t.append({ table::PageRequests,
        { { field::PageRequests::Booking, T, 7 }, { field::PageRequests::Link, T, 7 },
            { field::PageRequests::Made, T, 7 }, { field::PageRequests::Reason, T, 7 } },
        7 });
    // The mail that goes out by itself: each message as it will go (or
    // went), its state and tries, and for a planned one (a reminder, a
    // balance note) the key of the booking, kind and day it was planned
    // for, which no two messages share. Times are UTC, as ISO text. The
    // lodge's mail server (one record; its password is never here) and the
    // texts the guide changed from the delivered ones, by kind.
    t.append({ table::Outbox,
        { { field::Outbox::Kind, T, 8 }, { field::Outbox::Booking, T, 8 }, { field::Outbox::Recipient, T, 8 },
            { field::Outbox::RecipientName, T, 8 }, { field::Outbox::Subject, T, 8 },
            { field::Outbox::Body, T, 8 }, { field::Outbox::State, T, 8 }, { field::Outbox::Tries, T, 8 },
            { field::Outbox::LastError, T, 8 }, { field::Outbox::MessageId, T, 8 },
            { field::Outbox::Made, T, 8 }, { field::Outbox::Sent, T, 8 }, { field::Outbox::NextTry, T, 8 },
            { field::Outbox::PlanKey, T, 8 }, { field::Outbox::Claim, T, 8 } },
        8 });
    t.append({ table::MailSettings,
        { { field::MailSettings::Server, T, 8 }, { field::MailSettings::Port, T, 8 },
            { field::MailSettings::Security, T, 8 }, { field::MailSettings::User, T, 8 },
            { field::MailSettings::SenderAddress, T, 8 }, { field::MailSettings::SenderName, T, 8 },
            { field::MailSettings::GuideAddress, T, 8 } },
        8 });
    t.append({ table::MailTexts,
        { { field::MailTexts::Kind, T, 8 }, { field::MailTexts::Send, T, 8 },
            { field::MailTexts::Subject, T, 8 }, { field::MailTexts::Body, T, 8 },
            { field::MailTexts::Days, T, 8 } },
        8 });
    // The state's logbook: the people aboard a trip and each one's catch,
    // by the trip's ID (Days is how many days a trip lasts, empty for
    // one), and the state's site codes.
    t.append({ table::Party,
        { { field::Party::Booking, T, 12 }, { field::Party::Angler, T, 12 }, { field::Party::License, T, 12 },
            { field::Party::Role, T, 12 }, { field::Party::EmergencyContact, T, 12 },
            { field::Party::EmergencyPhone, T, 12 } },
        12 });
    t.append({ table::Catch,
        { { field::Catch::Booking, T, 12 }, { field::Catch::Day, D, 12 }, { field::Catch::Site, T, 12 },
            { field::Catch::Water, T, 12 }, { field::Catch::Angler, T, 12 }, { field::Catch::Species, T, 12 },
            { field::Catch::Origin, T, 12 }, { field::Catch::LifeStage, T, 12 },
            { field::Catch::Kept, T, 12 }, { field::Catch::Released, T, 12 } },
        12 });
    t.append(
        { table::SiteCodes, { { field::SiteCodes::Code, T, 12 }, { field::SiteCodes::Name, T, 12 } }, 12 });
    // The guide's own calendar's busy times, a row a day.
    t.append({ table::BusyTimes,
        { { field::BusyTimes::Guide, T, 13 }, { field::BusyTimes::Date, D, 13 },
            { field::BusyTimes::StartTime, T, 13 }, { field::BusyTimes::EndTime, T, 13 },
            { field::BusyTimes::Summary, T, 13 } },
        13 });
    return t;
}

} // namespace

const QList<TableDef> &tables()
{
    static const QList<TableDef> all = makeTables();
    return all;
}

const TableDef *table(const QString &name)
{
    for (const TableDef &t : tables())
        if (t.name == name)
            return &t;
    return nullptr;
}

const QList<IndexDef> &indexes()
{
    static const QList<IndexDef> all {
        { QStringLiteral("Booking by Date"), table::Booking, field::Booking::Date, 2 },
        { QStringLiteral("Booking by Lake"), table::Booking, field::Booking::Lake, 2 },
        { QStringLiteral("Booking by Name"), table::Booking, field::Booking::Name, 2 },
        { QStringLiteral("Phone by Name"), table::Phone, field::Phone::Name, 2 },
        { QStringLiteral("Reminder by Date"), table::Reminder, field::Reminder::Date, 2 },
        { QStringLiteral("Diary by Date"), table::Diary, field::Diary::Date, 2 },
        { QStringLiteral("Booking by Status"), table::Booking, field::Booking::Status, 7 },
        { QStringLiteral("Days Off by Date"), table::DaysOff, field::DaysOff::Date, 7 },
        { QStringLiteral("Page Requests by Link"), table::PageRequests, field::PageRequests::Link, 7 },
        { QStringLiteral("Outbox by State"), table::Outbox, field::Outbox::State, 8 },
        { QStringLiteral("Outbox by Booking"), table::Outbox, field::Outbox::Booking, 8 },
        { QStringLiteral("Outbox by Plan Key"), table::Outbox, field::Outbox::PlanKey, 8, true },
        { QStringLiteral("Party by Booking"), table::Party, field::Party::Booking, 12 },
        { QStringLiteral("Catch by Booking"), table::Catch, field::Catch::Booking, 12 },
        { QStringLiteral("Catch by Day"), table::Catch, field::Catch::Day, 12 },
        { QStringLiteral("Site Codes by Code"), table::SiteCodes, field::SiteCodes::Code, 12 },
        { QStringLiteral("Busy Times by Date"), table::BusyTimes, field::BusyTimes::Date, 13 },
    };
    return all;
}

QStringList fieldNames(const TableDef &table)
{
    QStringList names;
    for (const FieldDef &f : table.fields)
        names << f.name;
    return names;
}

QString declaredType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Date:
        return QStringLiteral("DATE");
    case FieldKind::Amount:
        // A whole number of ten-thousandths; the name keeps the declared
        // type the files have always had.
        return QStringLiteral("CURRENCY");
    case FieldKind::Text:
        break;
    }
    return QStringLiteral("TEXT");
}

QString createStatement(const TableDef &table, int layout)
{
    QStringList columns { QStringLiteral("%1 INTEGER PRIMARY KEY AUTOINCREMENT").arg(keyColumn) };
    for (const FieldDef &f : table.fields)
        if (f.since <= layout)
            columns << quoted(f.name) + QLatin1Char(' ') + declaredType(f.kind);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(table.name), columns.join(QStringLiteral(", ")));
}

QString createStatement(const IndexDef &index)
{
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), quoted(index.name), quoted(index.table),
            quoted(index.field));
}

QString quoted(const QString &identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

const QStringList &stampedTables()
{
    static const QStringList all { table::Booking, table::Reminder };
    return all;
}

QString createStampTable()
{
    // Keyed by kind and record without a rowid: no index of its own besides
    // the table, and one stamp per record.
    return QStringLiteral("CREATE TABLE %1 (\"Kind\" TEXT NOT NULL, \"Record\" INTEGER NOT NULL, "
                          "\"Sequence\" INTEGER NOT NULL, \"Modified\" TEXT NOT NULL, "
                          "PRIMARY KEY (\"Kind\", \"Record\")) WITHOUT ROWID")
        .arg(quoted(QLatin1String(stampTable)));
}

namespace
{

// The time the stamps are written in, as an SQL expression.
QString stampNow()
{
    return QStringLiteral("strftime('%Y-%m-%dT%H:%M:%SZ', 'now')");
}

} // namespace

QList<TriggerDef> stampTriggers(int layout)
{
    QList<TriggerDef> all;
    if (layout < stampsSince)
        return all;
    const QString stamps = quoted(QLatin1String(stampTable));
    for (const QString &name : stampedTables()) {
        const TableDef *def = table(name);
        if (!def)
            continue;
        const QString kind = QLatin1Char('\'') + name + QLatin1Char('\'');
        const QString on = quoted(name);
        // Only a field's value that changed counts: saving a record as it
        // was is no change a calendar needs to hear of.
        QStringList changed;
        for (const FieldDef &f : def->fields)
            if (f.since <= layout)
                changed << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(quoted(f.name));
        auto trigger = [&](const QString &event, const QString &when, const QString &body) {
            const QString triggerName = QStringLiteral("%1 stamp on %2").arg(name, event.toLower());
            all.append({ triggerName, name,
                QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3%4 BEGIN %5 END")
                    .arg(quoted(triggerName), event, on, when, body) });
        };
        trigger(QStringLiteral("INSERT"), QString(),
            QStringLiteral("INSERT OR REPLACE INTO %1 (\"Kind\", \"Record\", \"Sequence\", \"Modified\") "
                           "VALUES (%2, NEW.\"ID\", 0, %3);")
                .arg(stamps, kind, stampNow()));
        // A record without a stamp counts as sequence 0: its first change
        // makes it 1.
        trigger(QStringLiteral("UPDATE"), QStringLiteral(" WHEN ") + changed.join(QLatin1String(" OR ")),
            QStringLiteral("INSERT OR IGNORE INTO %1 (\"Kind\", \"Record\", \"Sequence\", \"Modified\") "
                           "VALUES (%2, NEW.\"ID\", 0, ''); "
                           "UPDATE %1 SET \"Sequence\" = \"Sequence\" + 1, \"Modified\" = %3 "
                           "WHERE \"Kind\" = %2 AND \"Record\" = NEW.\"ID\";")
                .arg(stamps, kind, stampNow()));
        trigger(QStringLiteral("DELETE"), QString(),
            QStringLiteral("DELETE FROM %1 WHERE \"Kind\" = %2 AND \"Record\" = OLD.\"ID\";")
                .arg(stamps, kind));
    }
    return all;
}

const QStringList &historyTables()
{
    static const QStringList all { table::Booking, table::Phone };
    return all;
}

QString createHistoryTable()
{
    return QStringLiteral(
        "CREATE TABLE %1 (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, %2 TEXT NOT NULL, "
        "%3 INTEGER NOT NULL, %4 TEXT NOT NULL, %5 TEXT, %6 TEXT, %7 TEXT NOT NULL, %8 TEXT, "
        "%9 TEXT, %10 TEXT)")
        .arg(quoted(table::History), quoted(field::History::Kind), quoted(field::History::Record),
            quoted(field::History::At), quoted(field::History::Login), quoted(field::History::Desk),
            quoted(field::History::Action), quoted(field::History::Field), quoted(field::History::Old))
        .arg(quoted(field::History::New));
}

QString createBinTable()
{
    return QStringLiteral("CREATE TABLE %1 (\"ID\" INTEGER PRIMARY KEY AUTOINCREMENT, %2 TEXT NOT NULL, "
                          "%3 INTEGER NOT NULL, %4 TEXT NOT NULL, %5 TEXT, %6 TEXT, %7 TEXT NOT NULL)")
        .arg(quoted(table::Bin), quoted(field::Bin::Kind), quoted(field::Bin::Record),
            quoted(field::Bin::Deleted), quoted(field::Bin::Login), quoted(field::Bin::Summary),
            quoted(field::Bin::Row));
}

QString createHistoryIndex()
{
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3, %4)")
        .arg(quoted(QLatin1String(historyIndex)), quoted(table::History), quoted(field::History::Kind),
            quoted(field::History::Record));
}

namespace
{

// A field's value as the history keeps it: text, or null for none.
QString asText(const QString &row, const QString &field)
{
    return QStringLiteral("CAST(%1.%2 AS TEXT)").arg(row, quoted(field));
}

// A field's value as the bin's JSON keeps it: as stored, a number as a
// number and a text as a string. The program's connections do not trust a
// file's schema, and this engine's JSON functions may not run from a
// trigger then, so the JSON is written out here: a text has its backslashes
// and quotes escaped (its control characters are escaped in the whole
// object afterwards, controlEscapes). A blob, which the program never
// writes, goes in as its text; a number past a double's range, as no value.
QString jsonValue(const QString &field)
{
    const QString f = QStringLiteral("OLD.") + quoted(field);
    return QStringLiteral(
        "CASE typeof(%1) WHEN 'null' THEN 'null' WHEN 'integer' THEN CAST(%1 AS TEXT) "
        "WHEN 'real' THEN CASE WHEN abs(%1) <= 1.7976931348623157e308 THEN CAST(%1 AS TEXT) "
        "ELSE 'null' END ELSE '\"' || replace(replace(CAST(%1 AS TEXT), '\\', '\\\\'), '\"', '\\\"') || "
        "'\"' END")
        .arg(f);
}

// The control characters of a JSON text escaped, as a server's JSON wants
// them: outside strings the text has none, so the whole object is done at
// once. In two statements: the engine's parser takes only so many calls one
// within another.
QStringList controlEscapes(const QString &column)
{
    QStringList statements;
    for (const auto &[from, to] : { std::pair { 1, 16 }, std::pair { 17, 31 } }) {
        QString text = column;
        for (int c = from; c <= to; ++c)
            text = QStringLiteral("replace(%1, char(%2), '\\u%3')")
                       .arg(text)
                       .arg(c)
                       .arg(c, 4, 16, QLatin1Char('0'));
        statements << text;
    }
    return statements;
}

// The whole record as a JSON object, from its fields' names and values.
QString jsonObject(const QList<std::pair<QString, QString>> &fields)
{
    QStringList members;
    for (const auto &[name, value] : fields) {
        QString key = name;
        key.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('"'), QLatin1String("\\\""));
        key.replace(QLatin1Char('\''), QLatin1String("''"));
        members << QStringLiteral("'\"%1\":' || %2").arg(key, value);
    }
    return QStringLiteral("'{' || %1 || '}'").arg(members.join(QStringLiteral(" || ',' || ")));
}

} // namespace

QList<TriggerDef> historyTriggers(int layout)
{
    QList<TriggerDef> all;
    if (layout < historySince)
        return all;
    const QString history = quoted(table::History);
    const QString columns = QStringList { quoted(field::History::Kind), quoted(field::History::Record),
        quoted(field::History::At), quoted(field::History::Login), quoted(field::History::Desk),
        quoted(field::History::Action), quoted(field::History::Field), quoted(field::History::Old),
        quoted(field::History::New) }
                                .join(QStringLiteral(", "));
    for (const QString &name : historyTables()) {
        const TableDef *def = table(name);
        if (!def)
            continue;
        const QString kind = QLatin1Char('\'') + name + QLatin1Char('\'');
        const QString on = quoted(name);
        auto event = [&](const QString &record, const char *action, const QString &rest) {
            return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3, %4, %5, '', '', '%6', %7);")
                .arg(history, columns, kind, record, stampNow(), QLatin1String(action), rest);
        };
        QStringList changed, perField;
        QList<std::pair<QString, QString>> json { { QLatin1String(keyColumn),
            QStringLiteral("CAST(OLD.\"ID\" AS TEXT)") } };
        for (const FieldDef &f : def->fields) {
            if (f.since > layout)
                continue;
            changed << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(quoted(f.name));
            perField << QStringLiteral(
                "INSERT INTO %1 (%2) SELECT %3, NEW.\"ID\", %4, '', '', '%5', '%6', %7, %8 "
                "WHERE OLD.%9 IS NOT NEW.%9;")
                            .arg(history, columns, kind, stampNow(), QLatin1String(historyAction::changed),
                                QString(f.name).replace(QLatin1Char('\''), QLatin1String("''")),
                                asText(QStringLiteral("OLD"), f.name), asText(QStringLiteral("NEW"), f.name),
                                quoted(f.name));
            json.append({ f.name, jsonValue(f.name) });
        }
        // What a list of the bin shows: a booking's date and client, a
        // contact's name.
        const QString summary = name == QLatin1String(table::Booking)
            ? QStringLiteral("trim(coalesce(OLD.%1, '') || ' ' || coalesce(OLD.%2, ''))")
                  .arg(quoted(field::Booking::Date), quoted(field::Booking::Name))
            : QStringLiteral("coalesce(OLD.%1, '')").arg(quoted(field::Phone::Name));
        auto trigger = [&](const QString &event, const QString &when, const QString &body) {
            const QString triggerName = QStringLiteral("%1 history on %2").arg(name, event.toLower());
            all.append({ triggerName, name,
                QStringLiteral("CREATE TRIGGER %1 AFTER %2 ON %3%4 BEGIN %5 END")
                    .arg(quoted(triggerName), event, on, when, body) });
        };
        trigger(QStringLiteral("INSERT"), QString(),
            event(QStringLiteral("NEW.\"ID\""), historyAction::added, QStringLiteral("NULL, NULL, NULL")));
        trigger(QStringLiteral("UPDATE"), QStringLiteral(" WHEN ") + changed.join(QLatin1String(" OR ")),
            perField.join(QLatin1Char(' ')));
        // The bin keeps a record binDays days: the older ones go as another
        // comes in.
        trigger(QStringLiteral("DELETE"), QString(),
            QStringLiteral("DELETE FROM %1 WHERE %2 < strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-%3 days'); "
                           "INSERT INTO %1 (%4, %5, %2, %6, %7, %8) VALUES (%9, OLD.\"ID\", %10, '', %11, "
                           "%12); ")
                    .arg(quoted(table::Bin), quoted(field::Bin::Deleted))
                    .arg(binDays)
                    .arg(quoted(field::Bin::Kind), quoted(field::Bin::Record), quoted(field::Bin::Login),
                        quoted(field::Bin::Summary), quoted(field::Bin::Row), kind, stampNow(), summary,
                        jsonObject(json))
                // The entry just written has the highest key.
                + QStringLiteral("UPDATE %1 SET %2 = %3 WHERE \"ID\" = (SELECT max(\"ID\") FROM %1); "
                                 "UPDATE %1 SET %2 = %4 WHERE \"ID\" = (SELECT max(\"ID\") FROM %1); ")
                      .arg(quoted(table::Bin), quoted(field::Bin::Row),
                          controlEscapes(quoted(field::Bin::Row)).value(0),
                          controlEscapes(quoted(field::Bin::Row)).value(1))
                + event(QStringLiteral("OLD.\"ID\""), historyAction::deleted,
                    QStringLiteral("NULL, NULL, NULL")));
    }
    return all;
}

QList<TriggerDef> ownTriggers(int layout)
{
    return stampTriggers(layout) + historyTriggers(layout);
}

} // namespace bm::schema
