# The rules of the house's floors, checked on every build (target
# layer_check) and by the test that plants a breach (tests/layers).
#
# - Only the database layer (src/db) includes an engine's headers: SQLite's,
#   libpq's, Qt's SQL module, and the layer's own engine/ folder, whose
#   headers hand out the engines' types. Its public headers (those directly
#   in src/db) include none of them either, so no user sees an engine
#   through them.
# - Each folder of src/ includes only the folders listed before it in
#   BM_AREAS (nothing below knows what is above), and the domain figures,
#   the file exchange, the report runner and the booking page don't include
#   one another.
#
# As a script: cmake -DROOT=<source tree> -DAREAS="core;schema;..." -P Layers.cmake

set(BM_ENGINE_INCLUDE "[<\"](sqlite3\\.h|libpq-fe\\.h|QSql[A-Za-z]*|QtSql/[^>\"]*|db/engine/[^>\"]*)[>\"]")
set(BM_SIBLING_AREAS domain exchange reports web)

# bm_layer_problems(ROOT AREAS OUT): the breaches found in ROOT's src/ and
# tools/, one text each, into OUT.
function(bm_layer_problems root areas out)
  set(problems "")
  file(GLOB_RECURSE files RELATIVE ${root}
       ${root}/src/*.h ${root}/src/*.cpp ${root}/tools/*.h ${root}/tools/*.cpp)
  foreach(file ${files})
    set(area "")
    if(file MATCHES "^src/([a-z]+)/")
      set(area ${CMAKE_MATCH_1})
    endif()
    set(publicDbHeader FALSE)
    if(file MATCHES "^src/db/[^/]+\\.h$")
      set(publicDbHeader TRUE)
    endif()
    list(FIND areas "${area}" level)
    file(STRINGS ${root}/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      if(line MATCHES "${BM_ENGINE_INCLUDE}" AND (NOT area STREQUAL "db" OR publicDbHeader))
        list(APPEND problems "${file} includes ${CMAKE_MATCH_1}: only the database layer sees the engines")
      endif()
      if(level GREATER -1 AND line MATCHES "\"([a-z]+)/[^\"]*\"")
        set(target ${CMAKE_MATCH_1})
        list(FIND areas "${target}" targetLevel)
        list(FIND BM_SIBLING_AREAS "${area}" areaSibling)
        list(FIND BM_SIBLING_AREAS "${target}" targetSibling)
        if(targetLevel GREATER level)
          list(APPEND problems "${file} includes ${target}/, which is above ${area}/")
        elseif(areaSibling GREATER -1 AND targetSibling GREATER -1 AND NOT target STREQUAL area)
          list(APPEND problems "${file} includes ${target}/: domain, exchange, reports and web don't include one another")
        endif()
      endif()
    endforeach()
  endforeach()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  bm_layer_problems("${ROOT}" "${AREAS}" problems)
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "The layers are breached:\n  ${text}")
  endif()
endif()
