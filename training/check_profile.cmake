# Fails the training run when the counts of the compile's busiest sources are missing, or are
# named otherwise than the release tree looks for them (an object's path below the tree's top
# folder). GCC would then compile the library without a profile and say nothing: the release
# tree turns that warning off for the sources the training program never links.
#
#   cmake -DPROFILE_DIR=<folder> -P check_profile.cmake
foreach(source sequence/scheduler.cpp sequence/sequence_step.cpp sequence/glide_chain.cpp
               sequence/note_emitter.cpp core/seq_event.cpp)
  string(REPLACE "/" "#" name "CMakeFiles/quavrex_compiler.dir/${source}.gcda")
  if(NOT EXISTS "${PROFILE_DIR}/${name}")
    message(FATAL_ERROR "The training run left no profile ${PROFILE_DIR}/${name}")
  endif()
endforeach()
