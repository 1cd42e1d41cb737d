# cmake -DOBJDUMP=<objdump> -DDLL=<tavri.dll> -P check_dll_tables.cmake
cmake_minimum_required(VERSION 3.25)
# The DLL a simulator loads exports init_usertfs and nothing else, imports
# the PLI routines from mtipli.dll, and needs no runtime DLL of the compiler
# (libgcc, libstdc++, winpthread): those are linked in.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE tables RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The export names are listed after "[Ordinal/Name Pointer] Table" as
# "[   0] name".
string(FIND "${tables}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export table")
endif()
string(SUBSTRING "${tables}" ${at} -1 export_part)
string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]+" export_lines "${export_part}")
set(exports "")
foreach(line IN LISTS export_lines)
  string(REGEX REPLACE "^\n[ \t]*\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND exports "${name}")
endforeach()
if(NOT exports STREQUAL "init_usertfs")
  message(FATAL_ERROR "${DLL} exports [${exports}]; it must export init_usertfs alone")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" import_lines "${tables}")
set(imports "")
foreach(line IN LISTS import_lines)
  string(REPLACE "DLL Name: " "" name "${line}")
  list(APPEND imports "${name}")
endforeach()
if(NOT "mtipli.dll" IN_LIST imports)
  message(FATAL_ERROR "${DLL} imports from [${imports}] but not from mtipli.dll")
endif()
foreach(name IN LISTS imports)
  if(name MATCHES "^lib")
    message(FATAL_ERROR "${DLL} needs the compiler's runtime DLL ${name}")
  endif()
endforeach()
message(STATUS "${DLL}: exports [${exports}], imports from [${imports}]")
