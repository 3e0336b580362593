#include "schema/schema.h"

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
    t.append({ "Lakes Fished", texts({ "Lake" }) });
    t.append({ "Marinas", texts({ "Ramps" }) });
    t.append({ "Lures", texts({ "Bait" }) });
    t.append({ "Lure Color", texts({ "Color" }) });
    t.append({ "Species", texts({ "Fish" }) });
    t.append({ "Trip Type", texts({ "Trip Type" }) });
    t.append({ "Trip Rates", texts({ "Trip Rates" }) });
    t.append({ "Deposits", texts({ "Deposits" }) });
    t.append({ "Guide Info",
        texts({ "Guide Name", "Address", "City", "State", "ZipCode", "Phone", "Email", "Website" }) });
    t.append({ "Phone",
        texts({ "Name", "Address", "City", "State", "Zip Code", "Home Telephone Number",
            "Work Telephone Number", "Mobile Phone Number", "Email", "Remarks" }) });
    t.append({ "Booking",
        { { "Date", D }, { "Lake", T }, { "Type", T }, { "Name", T }, { "Meet At", T }, { "Address", T },
            { "Address2", T }, { "City", T }, { "State", T }, { "ZipCode", T }, { "Telephone", T },
            { "Work Phone", T }, { "Cell Phone", T }, { "Email", T }, { "Lodging", T }, { "Notes", T },
            { "Total Charge", A }, { "Deposit Amount", A }, { "Balance Due", A }, { "Deposit Received", D },
            { "Paid By", T }, { "Billing Notes", T }, { "Weather", T }, { "Air Temp", T },
            { "Wind Direction", T }, { "Wind Speed", T }, { "Lake Area", T }, { "Depth", T },
            { "Water Temp", T }, { "Water Color", T }, { "Structure", T }, { "Species", T },
            { "Total Fish", T }, { "Big Fish", T }, { "Weight", T }, { "Length", T }, { "Lure", T },
            { "Lure Color", T }, { "Remarks", T }, { "GS Qty", T }, { "GS Total", A }, { "Goods", T },
            { "Goods Qty", T }, { "Goods Cost", A }, { "Goods Total", A }, { "Sub Total", A },
            { "Tax Rate", T }, { "Tax", A }, { "Charge Total", A }, { "Less Deposit", A }, { "Picture", T },
            { "Guide", T, 6 } } });
    t.append({ "Reminder", { { "Date", D }, { "Reminder", T } } });
    t.append({ "Diary", { { "Date", D }, { "Subject", T }, { "Page", T } } });
    t.append({ "Patterns",
        texts({ "Lake", "Month", "Moon Phase", "Air Temp", "Water Temp", "Structure", "Best Depth", "Lure",
            "Lure Color", "Pattern", "Remarks" }) });
    t.append({ "Rods",
        texts({ "Reel Make", "Reel Model", "Reel Type", "Reel Note", "Rod Make", "Rod Model", "Rod Length",
            "Rod Note" }) });
    t.append({ "Boat", texts({ "Boat", "Serial", "Maint", "Motor", "SerialM", "MaintM" }) });
    t.append({ "Equipment", texts({ "Item", "Make", "Model", "Serial No", "Price", "Remarks" }) });
    // The position of the guide's home water, in decimal degrees written
    // with a point ("36.6", "-93.3"), north and east positive; one record.
    t.append({ "Home Water", { { "Latitude", T, 4 }, { "Longitude", T, 4 } }, 4 });
    // The lodge's guides: a booking's Guide holds one's Name. Active is
    // "Yes" or "No"; Login is the guide's own name on the shared database's
    // server, which tells who saved what.
    t.append({ "Guides",
        { { "Name", T, 6 }, { "Phone", T, 6 }, { "Email", T, 6 }, { "Active", T, 6 }, { "Login", T, 6 } },
        6 });
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
        { QStringLiteral("Booking by Date"), QStringLiteral("Booking"), QStringLiteral("Date"), 2 },
        { QStringLiteral("Booking by Lake"), QStringLiteral("Booking"), QStringLiteral("Lake"), 2 },
        { QStringLiteral("Booking by Name"), QStringLiteral("Booking"), QStringLiteral("Name"), 2 },
        { QStringLiteral("Phone by Name"), QStringLiteral("Phone"), QStringLiteral("Name"), 2 },
        { QStringLiteral("Reminder by Date"), QStringLiteral("Reminder"), QStringLiteral("Date"), 2 },
        { QStringLiteral("Diary by Date"), QStringLiteral("Diary"), QStringLiteral("Date"), 2 },
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
    return QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
        .arg(quoted(index.name), quoted(index.table), quoted(index.field));
}

QString quoted(const QString &identifier)
{
    QString q = identifier;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

const QStringList &stampedTables()
{
    static const QStringList all { QStringLiteral("Booking"), QStringLiteral("Reminder") };
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

} // namespace bm::schema
