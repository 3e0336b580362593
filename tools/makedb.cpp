// Builds the delivered database file from the schema-and-starter-data script.
// usage: makedb SCRIPT.sql OUTPUT.mdb
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: makedb SCRIPT.sql OUTPUT.mdb\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "makedb: can not read %s\n", argv[1]);
        return 1;
    }
    std::stringstream script;
    script << in.rdbuf();

    std::remove(argv[2]);
    sqlite3 *db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK) {
        std::fprintf(stderr, "makedb: can not create %s\n", argv[2]);
        return 1;
    }
    char *error = nullptr;
    const std::string all = "BEGIN;\n" + script.str() + "\nCOMMIT;";
    if (sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "makedb: %s\n", error ? error : "unknown error");
        sqlite3_free(error);
        sqlite3_close(db);
        std::remove(argv[2]);
        return 1;
    }
    sqlite3_exec(db, "PRAGMA application_id = 1112689234; VACUUM;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
