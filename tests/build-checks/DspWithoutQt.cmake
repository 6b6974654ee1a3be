cmake_minimum_required(VERSION 3.25)
# Run by ctest: compiles two probes with exactly the include path of the
# signal-processing library. The probe that includes the library's own
# headers must compile; the probe that includes a Qt header must not, which
# is what keeps widgets out of the library.
separate_arguments(includes NATIVE_COMMAND "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS includes)
  list(APPEND flags "-I${dir}")
endforeach()

file(WRITE "${WORK}/dsp_probe_ok.cpp"
     "#include \"FGTTransform.h\"\n#include \"SonogramComputation.h\"\n#include \"PasFilmGrid.h\"\nint main() { return 0; }\n")
file(WRITE "${WORK}/dsp_probe_qt.cpp" "#include <QObject>\n#include <QtCore/QObject>\nint main() { return 0; }\n")

execute_process(COMMAND "${COMPILER}" ${flags} "${WORK}/dsp_probe_ok.cpp" RESULT_VARIABLE ok ERROR_VARIABLE okErr)
if(NOT ok EQUAL 0)
  message(FATAL_ERROR "the library's own headers do not compile on its include path:\n${okErr}")
endif()
execute_process(COMMAND "${COMPILER}" ${flags} "${WORK}/dsp_probe_qt.cpp" RESULT_VARIABLE qt ERROR_QUIET)
if(qt EQUAL 0)
  message(FATAL_ERROR "a Qt header compiles on the signal-processing library's include path")
endif()

# No source of the library names a Qt header, and the FGT code does not
# reach into the sonogram's folder.
file(GLOB_RECURSE sources "${SOURCE_DIR}/dsp/*.cpp" "${SOURCE_DIR}/dsp/*.h")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "<Q[A-Za-z]*[>/]")
      message(FATAL_ERROR "${source} includes Qt: ${line}")
    endif()
    if(source MATCHES "/dsp/fgt/" AND line MATCHES "Sonogram")
      message(FATAL_ERROR "${source} includes the sonogram code: ${line}")
    endif()
  endforeach()
endforeach()

# The platform layer sits below the signal core: it includes none of core/'s
# headers (the export macro is generated, owned by neither).
file(GLOB coreHeaders RELATIVE "${SOURCE_DIR}/core" "${SOURCE_DIR}/core/*.h")
file(GLOB platformSources "${SOURCE_DIR}/platform/*.cpp" "${SOURCE_DIR}/platform/*.h")
foreach(source IN LISTS platformSources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE ".*\"([^\"]+)\".*" "\\1" header "${line}")
    if(header IN_LIST coreHeaders)
      message(FATAL_ERROR "${source} includes ${header} from core/")
    endif()
  endforeach()
endforeach()
