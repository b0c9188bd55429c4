# QC_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# QC_SANITIZE=thread with ThreadSanitizer.
set(QC_SANITIZE "" CACHE STRING "Sanitizer flavour: address, thread or empty")

# QC_FUZZ=ON (with clang) instruments everything for libFuzzer's coverage and
# builds the fuzz targets as libFuzzer programs, under ASan and UBSan.
option(QC_FUZZ "Build the fuzz targets for libFuzzer (needs clang)" OFF)

if(QC_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QC_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(NOT QC_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QC_FUZZ brings its own sanitizers; leave QC_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(QC_SANITIZER_BUILD=1)
elseif(QC_SANITIZE STREQUAL "address")
  set(qc_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
elseif(QC_SANITIZE STREQUAL "thread")
  set(qc_sanitize_flags -fsanitize=thread -fno-omit-frame-pointer)
  # Asio puts a thread fence after each handler it runs; the sanitizer does
  # not model fences, which GCC warns of.  The fence only doubles the
  # scheduler's mutex, which the sanitizer does see, so the warning is noise.
  add_compile_options(-Wno-tsan)
elseif(NOT QC_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Unknown QC_SANITIZE value '${QC_SANITIZE}'")
endif()

if(qc_sanitize_flags)
  add_compile_options(${qc_sanitize_flags} -O1)
  add_link_options(${qc_sanitize_flags})
  add_compile_definitions(QC_SANITIZER_BUILD=1)
endif()
