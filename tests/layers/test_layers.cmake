# The layers' check finds each kind of breach, lets what is allowed pass, and
# finds none in the source tree itself.
# cmake -DSOURCE=<source tree> -DAREAS=... -DSCRATCH=<folder> -P test_layers.cmake
include(${SOURCE}/cmake/Layers.cmake)

# file | the line it holds | whether the check must refuse it
set(cases
  "src/domain/a.cpp|#include \"db/engine/engine.h\"|yes"
  "src/exchange/b.cpp|#include <sqlite3.h>|yes"
  "src/platform/c.cpp|#  include <libpq-fe.h>|yes"
  "src/main/d.cpp|#include <QSqlQuery>|yes"
  "tools/e.cpp|#include <QtSql/QSqlDatabase>|yes"
  "src/db/f.h|#include <sqlite3.h>|yes"
  "src/db/g.h|#include \"db/engine/server.h\"|yes"
  "src/core/h.cpp|#include \"db/query.h\"|yes"
  "src/schema/i.h|#include \"domain/season.h\"|yes"
  "src/exchange/j.cpp|#include \"domain/season.h\"|yes"
  "src/reports/k.cpp|#include \"exchange/csvreader.h\"|yes"
  "src/db/l.cpp|#include <sqlite3.h>|no"
  "src/db/engine/m.h|#include <libpq-fe.h>|no"
  "src/db/n.cpp|#include \"db/engine/engine.h\"|no"
  "src/reports/o.cpp|#include \"db/readonly.h\"|no"
  "src/bookings/p.cpp|#include \"domain/season.h\"|no"
  "src/main/q.cpp|#include \"exchange/csvreader.h\"|no"
  "src/main/r.cpp|// #include <sqlite3.h> was here once|no"
  "src/db/s.cpp|#include \"mail/message.h\"|yes"
  "src/web/t.cpp|#include \"mail/smtp.h\"|no")

set(failures "")
foreach(case ${cases})
  string(REPLACE "|" ";" columns "${case}")
  list(GET columns 0 file)
  list(GET columns 1 line)
  list(GET columns 2 refused)
  set(tree ${SCRATCH}/tree)
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/${file} "${line}\n")
  bm_layer_problems(${tree} "${AREAS}" problems)
  list(LENGTH problems found)
  if(refused STREQUAL "yes" AND NOT found EQUAL 1)
    list(APPEND failures "${file} (${line}): expected one breach, found ${found}: ${problems}")
  elseif(refused STREQUAL "no" AND NOT found EQUAL 0)
    list(APPEND failures "${file} (${line}): allowed, but found: ${problems}")
  endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH}/tree)

bm_layer_problems(${SOURCE} "${AREAS}" problems)
if(problems)
  list(APPEND failures "the source tree: ${problems}")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "FAIL:\n  ${text}")
endif()
message(STATUS "PASS: ${CMAKE_CURRENT_LIST_FILE}")
