# Preprocesses one-line probes in the include views of the libraries: an
# include against the direction of the layers must fail for want of the file,
# and an include of the library's own folder or a layer below must work (so
# that the failures are not the view or the compiler being broken).
# Then it reads every file of every library: each #include "folder/..." must
# name one of the library's layers, so that a header no source of its own
# library includes cannot reach upwards either.
#   cmake -DCOMPILER=<c++> -DVIEWS=<build>/include-views -DWORK=<dir>
#         -DSOURCE=<source root> -DLAYERS="lib=own,below,...|..." -P check_includes.cmake

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/layers.cmake)

# The probes come from the layer table itself: each library's view must show
# one header of every library folder among its layers and hide one of every
# other library folder.
string(REPLACE "|" ";" libraries "${LAYERS}")
set(folders)
foreach(entry ${libraries})
  string(REGEX REPLACE "^[^=]*=([^,]*).*" "\\1" own "${entry}")
  list(APPEND folders ${own})
endforeach()
set(probes)
foreach(entry ${libraries})
  string(REGEX REPLACE "=.*" "" lib "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" layers "${entry}")
  string(REPLACE "," ";" layers "${layers}")
  foreach(folder ${folders})
    file(GLOB headers RELATIVE ${SOURCE} ${SOURCE}/${folder}/*.hpp)
    list(SORT headers)
    list(GET headers 0 header)
    list(FIND layers ${folder} listed)
    zeph_path_in_layers(inside ${folder} ${layers})
    if(NOT listed EQUAL -1 OR inside)
      list(APPEND probes "${lib}|${header}|builds")
    else()
      list(APPEND probes "${lib}|${header}|fails")
    endif()
  endforeach()
endforeach()

file(MAKE_DIRECTORY ${WORK})
set(wrong 0)
foreach(probe ${probes})
  string(REPLACE "|" ";" fields "${probe}")
  list(GET fields 0 view)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  string(MAKE_C_IDENTIFIER "${view}_${header}" stem)
  set(source ${WORK}/${stem}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} -std=c++20 -E -o ${WORK}/${stem}.i -I ${VIEWS}/${view} ${source}
                  RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(expected STREQUAL "builds")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${view}: #include \"${header}\" should build:\n${errors}")
      math(EXPR wrong "${wrong} + 1")
    endif()
  else()
    string(FIND "${errors}" "${header}" named)
    if(result EQUAL 0 OR named EQUAL -1 OR NOT errors MATCHES "No such file|file not found")
      message(SEND_ERROR "${view}: #include \"${header}\" should fail for want of the file, got ${result}:\n${errors}")
      math(EXPR wrong "${wrong} + 1")
    endif()
  endif()
endforeach()
list(LENGTH probes count)

set(files_read 0)
foreach(entry ${libraries})
  string(REGEX REPLACE "=.*" "" lib "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" layers "${entry}")
  string(REPLACE "," ";" layers "${layers}")
  list(GET layers 0 own)
  file(GLOB files ${SOURCE}/${own}/*.hpp ${SOURCE}/${own}/*.cpp)
  foreach(path ${files})
    math(EXPR files_read "${files_read} + 1")
    file(STRINGS ${path} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(NOT header MATCHES "/")
        continue()   # a file beside the includer
      endif()
      zeph_path_in_layers(allowed ${header} ${layers})
      if(NOT allowed)
        file(RELATIVE_PATH shown ${SOURCE} ${path})
        message(SEND_ERROR "${shown} (${lib}) includes \"${header}\" outside its layers ${layers}")
        math(EXPR wrong "${wrong} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(wrong GREATER 0)
  message(FATAL_ERROR "${wrong} layer checks wrong (${count} probes, ${files_read} files read)")
endif()
message(STATUS "${count} layer probes as expected; ${files_read} files include only their layers")
