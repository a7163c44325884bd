# Runs `tavrin-cli report` for S-1-5-32-544 on this computer (".") and checks
# the exit status and the shape of the CSV: the line naming the account, the
# header with the 27 codes and one readable row.
execute_process(
  COMMAND ${EMULATOR} ${CLI} report --account S-1-5-32-544 --computers . --format csv
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tavrin-cli ended with ${status}\n${out}${err}")
endif()
set(codes "CT,PT,LM,IQ,MA,PS,SY,TO,LD,SP,ST,PR,IP,PG,PM,BK,RE,SH,DG,AU,SE,CN,RS,IL,NL,BJ,LS")
string(REPEAT ",[YN]" 27 cells)
if(NOT out MATCHES "^# Account: S-1-5-32-544\r?\nComputer,${codes},Error\r?\n[^,\r\n]+${cells},\r?\n$")
  message(FATAL_ERROR "unexpected report:\n${out}${err}")
endif()
