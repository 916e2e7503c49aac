# cmake -DFOLDERS=a|b -DSTAMP=file -DFILES=f1|f2 [-DKNOWS_SYSTEM=ON] -P CheckIncludes.cmake
# Fails when a file includes a Qt header, or a header of one of FOLDERS however the include
# is spelled: <app/x.h>, "app/x.h", "../app/x.h", "./../app/x.h", "src/app/x.h". Unless
# KNOWS_SYSTEM is set (the platform layer), it also fails on a system's own header
# (<unistd.h>, <sys/stat.h>, <windows.h>, ...) and on a test of which system it is built for
# (#ifdef _WIN32, #if defined(__linux__), ...).
set(qt "Q[A-Za-z0-9_]*([/>\"]|$)")
set(pattern "^[ \t]*#[ \t]*include[ \t]*[<\"]${qt}")
if(FOLDERS)
  set(pattern "^[ \t]*#[ \t]*include[ \t]*[<\"](${qt}|(\\.\\.?/)*(src/)?(${FOLDERS})/)")
endif()
set(patterns "${pattern}")
if(NOT KNOWS_SYSTEM)
  list(APPEND patterns
       "^[ \t]*#[ \t]*include[ \t]*<((unistd|fcntl|dirent|spawn|signal|poll|malloc|io|windows|shellapi)\\.h|sys/|csignal)"
       "^[ \t]*#[ \t]*(if|ifdef|ifndef|elif).*(_WIN32|_WIN64|__linux__|__unix__|__APPLE__|__MINGW|_MSC_VER)")
endif()
string(REPLACE "|" ";" FILES "${FILES}")
set(faults "")
foreach(f IN LISTS FILES)
  foreach(p IN LISTS patterns)
    file(STRINGS "${f}" hits REGEX "${p}")
    foreach(h IN LISTS hits)
      string(APPEND faults "\n  ${f}: ${h}")
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "a lower layer includes a higher one, Qt or a system's own header, or "
                      "tests which system it is on:${faults}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
