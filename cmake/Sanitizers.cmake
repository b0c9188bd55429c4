# QC_SANITIZE=address builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# QC_SANITIZE=thread with ThreadSanitizer.
set(QC_SANITIZE "" CACHE STRING "Sanitizer flavour: address, thread or empty")

if(QC_SANITIZE STREQUAL "address")
  set(qc_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
elseif(QC_SANITIZE STREQUAL "thread")
  set(qc_sanitize_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT QC_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Unknown QC_SANITIZE value '${QC_SANITIZE}'")
endif()

if(qc_sanitize_flags)
  add_compile_options(${qc_sanitize_flags} -O1)
  add_link_options(${qc_sanitize_flags})
  add_compile_definitions(QC_SANITIZER_BUILD=1)
endif()
