# Compiles every product source as a Windows build would, syntax only, with Debian's mingw-w64
# compiler against the Linux Qt headers (they parse as Windows under _WIN32), so a call that only
# POSIX systems have fails the build where it is not behind a platform seam. Nothing is linked.
find_program(ZFN_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix REQUIRED
             DOC "mingw-w64 C++ compiler (Debian package g++-mingw-w64-x86-64-posix)")

set(ZFN_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows-syntax)
set(zfn_windows_flags -fsyntax-only -std=c++17 -Wall -Wextra)

# The system folder of the Linux headers must stay out of sight, or a POSIX header would be found
# there; so libzip's and pugixml's headers are copied into a folder of their own.
set(zfn_third_party_dir ${ZFN_WINDOWS_DIR}/include)
foreach(header zip.h zipconf.h pugixml.hpp pugiconfig.hpp)
  string(MAKE_C_IDENTIFIER ${header} header_id)
  find_file(ZFN_HEADER_${header_id} ${header} HINTS ${ZFN_ZIP_INCLUDEDIR} ${ZFN_PUGIXML_INCLUDEDIR} REQUIRED)
  file(COPY ${ZFN_HEADER_${header_id}} DESTINATION ${zfn_third_party_dir})
endforeach()
list(APPEND zfn_windows_flags -isystem ${zfn_third_party_dir} -isystem ${QWT_INCLUDE_DIR})

foreach(module Core Gui Widgets SerialPort)
  get_target_property(module_dirs Qt5::${module} INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(module_definitions Qt5::${module} INTERFACE_COMPILE_DEFINITIONS)
  # The Linux mkspec folder holds Linux's platform definitions.
  list(FILTER module_dirs EXCLUDE REGEX "/mkspecs/")
  foreach(dir ${module_dirs})
    list(APPEND zfn_windows_flags -isystem ${dir})
  endforeach()
  # QT_NO_DEBUG comes as a generator expression of the build type, which a syntax check can leave out.
  list(FILTER module_definitions EXCLUDE REGEX "^\\$<")
  list(TRANSFORM module_definitions PREPEND -D)
  list(APPEND zfn_windows_flags ${module_definitions})
endforeach()

get_directory_property(zfn_definitions DIRECTORY ${CMAKE_SOURCE_DIR} COMPILE_DEFINITIONS)
list(TRANSFORM zfn_definitions PREPEND -D)
list(APPEND zfn_windows_flags ${zfn_definitions})

# The sources' own folders and the forms and moc files that uic and moc generate for each layer.
file(GLOB zfn_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*/*.cpp)
zfn_platform_sources(zfn_sources TRUE ${zfn_sources})
set(zfn_layers zfn_model zfn_device zfn_services zfn_pages zfn_ui zfn_xlsx)
foreach(source ${zfn_sources})
  get_filename_component(dir ${source} DIRECTORY)
  list(APPEND zfn_source_dirs ${dir})
endforeach()
list(REMOVE_DUPLICATES zfn_source_dirs)
foreach(dir ${zfn_source_dirs})
  list(APPEND zfn_windows_flags -I${dir})
endforeach()
foreach(layer ${zfn_layers})
  get_target_property(layer_build_dir ${layer} BINARY_DIR)
  list(APPEND zfn_windows_flags -I${layer_build_dir}/${layer}_autogen/include)
endforeach()

set(zfn_stamps)
foreach(source ${zfn_sources})
  file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
  set(stamp ${ZFN_WINDOWS_DIR}/${relative}.ok)
  get_filename_component(stamp_dir ${stamp} DIRECTORY)
  file(MAKE_DIRECTORY ${stamp_dir})
  add_custom_command(OUTPUT ${stamp}
                     COMMAND ${ZFN_MINGW_CXX} ${zfn_windows_flags} -MD -MF ${stamp}.d -MT ${stamp} ${source}
                     COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
                     DEPENDS ${source}
                     DEPFILE ${stamp}.d
                     COMMENT "Compiling ${relative} for Windows, syntax only"
                     VERBATIM)
  list(APPEND zfn_stamps ${stamp})
endforeach()
add_custom_target(windows_syntax ALL DEPENDS ${zfn_stamps})
list(TRANSFORM zfn_layers APPEND _autogen)
add_dependencies(windows_syntax ${zfn_layers})
