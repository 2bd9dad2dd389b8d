# The layers are held apart by include directories: there is no include directory at the root of
# the tree. Each layer's target gets a public include directory of its own, generated in the
# build tree: a view of the layer's folder under the folder's name, made of real folders that
# hold a link per file, so "runtime/text.h" is found by whatever links belvane_runtime and by
# nothing else. A target links only the layers below it (README's layout table gives the order),
# so an include of a layer above fails to compile.
#
# The layer's own sources are compiled through its view too. The compiler looks for a quoted
# include in the including file's folder first; in the view that folder holds only the layer's
# files, and since its folders are real ones (not links to the source tree) ".." leads to no
# other layer: "../timetable.h" from app/schedule finds nothing, nor does "inifile/..." from
# runtime.
#
# belvane_layer_includes(target folder [EXCLUDE sub ...] [ONLY file ...] [PRIVATE])
#   folder: the layer's folder relative to the source root ("runtime", "app/schedule").
#   EXCLUDE: subfolders that are layers of their own; the view leaves them out.
#   ONLY: the view holds these files alone (an interface that is part of a folder).
#   PRIVATE: the view serves the target's own sources and is not passed on to what links it.
# The folder is re-read at every build, so new files are picked up; the view's own folder is
# layers/<target>, so several targets can each have a view of one folder. Source file properties
# of a layer's sources must be set on their path in the view.
function(belvane_layer_includes target folder)
  cmake_parse_arguments(L "PRIVATE" "" "EXCLUDE;ONLY" ${ARGN})
  set(source ${CMAKE_SOURCE_DIR}/${folder})
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  set(view ${root}/${folder})

  if(L_ONLY)
    set(entries ${L_ONLY})
  else()
    file(GLOB_RECURSE entries RELATIVE ${source} CONFIGURE_DEPENDS ${source}/*)
    foreach(sub ${L_EXCLUDE})
      list(FILTER entries EXCLUDE REGEX "^${sub}/")
    endforeach()
  endif()
  # Links left from files since removed or excluded would still resolve: drop them. Plain files
  # are not the view's own (a probe's source) and stay.
  if(EXISTS ${view})
    file(GLOB_RECURSE present RELATIVE ${view} ${view}/*)
    foreach(entry ${present})
      if(IS_SYMLINK ${view}/${entry} AND NOT entry IN_LIST entries)
        file(REMOVE ${view}/${entry})
      endif()
    endforeach()
  endif()
  foreach(entry ${entries})
    get_filename_component(parent ${view}/${entry} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${source}/${entry} ${view}/${entry} SYMBOLIC)
  endforeach()

  # What the view was made of, for a probe that must be compiled as a source of this layer.
  set_target_properties(${target} PROPERTIES BELVANE_LAYER_FOLDER "${folder}"
                                             BELVANE_LAYER_EXCLUDE "${L_EXCLUDE}")

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
    return()
  elseif(L_PRIVATE)
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()

  # The target's C and C++ sources in the folder, compiled from the view.
  get_target_property(sources ${target} SOURCES)
  get_target_property(base ${target} SOURCE_DIR)
  set(through)
  foreach(file ${sources})
    set(entry "")
    if(file MATCHES "\\.(c|cc|cpp|cxx)$" AND NOT file MATCHES "\\$<")
      cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${base} NORMALIZE OUTPUT_VARIABLE path)
      cmake_path(IS_PREFIX source ${path} NORMALIZE inside)
      if(inside)
        file(RELATIVE_PATH entry ${source} ${path})
      endif()
    endif()
    if(entry AND entry IN_LIST entries)
      list(APPEND through ${view}/${entry})
    else()
      list(APPEND through ${file})
    endif()
  endforeach()
  set_property(TARGET ${target} PROPERTY SOURCES ${through})
endfunction()

# The include directory of a folder that is no library (the tests' shared helpers), for
# include_directories() in that folder.
function(belvane_folder_include_dir folder out)
  string(REPLACE "/" "_" tag ${folder})
  set(root ${CMAKE_BINARY_DIR}/layers/${tag})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  set(${out} ${root} PARENT_SCOPE)
endfunction()
