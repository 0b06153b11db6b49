# The layers, bottom to top, and what each folder's files may include. Headers are included by
# their folder ("platform/file_api.h", "media/h264_nal.h"), so the first part of an include names
# the layer it comes from. Checked when the build is configured: a file that includes a layer
# above its own stops the configuration with its name and line.
set(kestrun_src_layers platform model analysis decoder pipeline chains app)
set(kestrun_lib_layers base media)

# kestrun_allowed_<folder>: the layers a folder may include (its own among them).
set(kestrun_allowed_lib/base base)
set(kestrun_allowed_lib/media media)
set(kestrun_allowed_src/platform platform base)
set(kestrun_allowed_src/model model platform base)
set(kestrun_allowed_src/analysis analysis model platform base media)
set(kestrun_allowed_src/decoder decoder platform base media)
set(kestrun_allowed_src/pipeline pipeline analysis decoder model platform base media)
set(kestrun_allowed_src/chains chains pipeline analysis decoder model platform base media)
set(kestrun_allowed_src/app app chains pipeline analysis decoder model platform base media)
# The stand-ins are separate programs: lib/ and tools/ only.
set(kestrun_allowed_tools base media)

function(kestrun_check_layers)
  set(all_layers ${kestrun_src_layers} ${kestrun_lib_layers})
  list(JOIN all_layers "|" layer_pattern)
  set(broken "")
  foreach(folder lib/base lib/media src/platform src/model src/analysis src/decoder src/pipeline
                 src/chains src/app tools)
    set(allowed ${kestrun_allowed_${folder}})
    file(GLOB_RECURSE files "${PROJECT_SOURCE_DIR}/${folder}/*.h" "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
    foreach(file IN LISTS files)
      file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"(${layer_pattern})/")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([a-z]+)/.*" "\\1" layer "${line}")
        if(NOT layer IN_LIST allowed)
          file(RELATIVE_PATH name "${PROJECT_SOURCE_DIR}" "${file}")
          string(APPEND broken "\n  ${name}: ${line} (${folder} may include: ${allowed})")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(broken)
    message(FATAL_ERROR "A layer includes one above it:${broken}")
  endif()
endfunction()

kestrun_check_layers()
