# Fails when the plug-in's own code refers to any heap allocator (malloc and
# its kin, operator new and delete, and with them every standard container
# and string) or throws: the run-time allocation count sees what runs, this
# sees every path, run or not.
#   cmake -DNM=nm -DLIBRARY=libchromalet_core.a -P no_allocator_symbols.cmake
execute_process(COMMAND ${NM} -u ${LIBRARY} OUTPUT_VARIABLE undefined RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL
  "[ \t](malloc|calloc|realloc|reallocarray|free|strdup|strndup|asprintf|vasprintf|posix_memalign|aligned_alloc|_Znw[a-zA-Z_0-9]*|_Zna[a-zA-Z_0-9]*|_Zdl[a-zA-Z_0-9]*|_Zda[a-zA-Z_0-9]*|__cxa_allocate_exception|__cxa_throw)\n"
  found "${undefined}")
if(found)
  list(REMOVE_DUPLICATES found)
  string(REPLACE "\n" "" found "${found}")
  message(FATAL_ERROR "the plug-in's code refers to:${found}")
endif()
message(STATUS "the plug-in's code refers to no allocator")
