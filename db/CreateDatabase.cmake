# cmake -DSQLITE3=<cli> -DSCHEMA=<Patient.sql> -DDB=<Corvida.mdb> -P CreateDatabase.cmake
# Creates the empty database only when none is there: the file in the program folder may be a
# clinic's patient list and is never overwritten. Built under a temporary name first, so a failed
# run leaves no half-made database behind.
if(EXISTS "${DB}")
  return()
endif()
set(tmp "${DB}.new")
file(REMOVE "${tmp}")
execute_process(COMMAND "${SQLITE3}" -bail "${tmp}" INPUT_FILE "${SCHEMA}"
                RESULT_VARIABLE status ERROR_VARIABLE error)
if(NOT status EQUAL 0)
  file(REMOVE "${tmp}")
  message(FATAL_ERROR "Creating ${DB} from ${SCHEMA} failed: ${error}")
endif()
file(RENAME "${tmp}" "${DB}")
