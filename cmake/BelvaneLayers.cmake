# The layers are held apart by include directories: there is no include directory at the root of
# the tree. Each layer's target gets a public include directory of its own, generated in the
# build tree, that holds only a link named after the layer's folder to that folder, so
# "runtime/text.h" is found by whatever links belvane_runtime and by nothing else. A target
# links only the layers below it (README's layout table gives the order), so an include of a
# layer above fails to compile.
#
# belvane_layer_includes(target folder [EXCLUDE sub ...])
#   folder: the layer's folder relative to the source root ("runtime", "app/schedule").
#   EXCLUDE: subfolders that are layers of their own; the folder is then linked entry by entry
#   without them (new entries are picked up at the next build: the glob is re-checked).
function(belvane_layer_includes target folder)
  cmake_parse_arguments(L "" "" "EXCLUDE" ${ARGN})
  string(REPLACE "/" "_" tag ${folder})
  set(root ${CMAKE_BINARY_DIR}/layers/${tag})
  set(link ${root}/${folder})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT L_EXCLUDE)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
  else()
    if(IS_SYMLINK ${link})
      file(REMOVE ${link})
    endif()
    file(MAKE_DIRECTORY ${link})
    file(GLOB entries RELATIVE ${CMAKE_SOURCE_DIR}/${folder} CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${folder}/*)
    foreach(entry ${entries})
      if(NOT entry IN_LIST L_EXCLUDE)
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder}/${entry} ${link}/${entry} SYMBOLIC)
      endif()
    endforeach()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
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
