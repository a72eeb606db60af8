# The parts of installing and packaging that the root CMakeLists.txt includes: the maintainer,
# the AppStream metainfo, the manual pages, the copyright and changelog, and what Debian expects
# of the binary. The root keeps the program, desktop entry and icons, and CPack's settings.
# The day the version of project() is released: the metainfo's release, the changelog's entry
# and the manual pages carry it. A release sets both.
set(YOTENNA_RELEASE_DATE 2026-12-09)
# (Older build folders cached a made-up home page under another name: it is forgotten.)
unset(YOTENNA_HOMEPAGE CACHE)
set(YOTENNA_HOMEPAGE_URL "" CACHE STRING
    "The project's home page, if it has one: the metainfo then names it and shows the \
screenshots published under it (screenshots/*.png)")

# The package's maintainer is whoever builds it, found as Debian's own tools find them:
# DEBFULLNAME and DEBEMAIL, else the checkout's git identity.
set(YOTENNA_MAINTAINER "" CACHE STRING
    "The .deb's maintainer, \"Name <address>\" (default: DEBFULLNAME <DEBEMAIL>, else git's user)")
set(maintainer "${YOTENNA_MAINTAINER}")
if(maintainer STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  if("$ENV{DEBEMAIL}" MATCHES "<")
    set(maintainer "$ENV{DEBEMAIL}")
  elseif(NOT "$ENV{DEBFULLNAME}" STREQUAL "")
    set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  endif()
endif()
if(maintainer STREQUAL "")
  find_package(Git QUIET)
  if(Git_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} config user.name
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE git_name
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} config user.email
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE git_email
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT git_name STREQUAL "" AND NOT git_email STREQUAL "")
      set(maintainer "${git_name} <${git_email}>")
    endif()
  endif()
endif()
if(maintainer STREQUAL "")
  message(WARNING "No maintainer for the .deb: set DEBFULLNAME and DEBEMAIL, "
                  "or -DYOTENNA_MAINTAINER=\"Name <address>\"; `make package` fails without one")
endif()

set(CPACK_PACKAGE_CONTACT "${maintainer}")

# The home page and the screenshots are named only where the project has a home page.
set(YOTENNA_METAINFO_WEB "")
if(NOT YOTENNA_HOMEPAGE_URL STREQUAL "")
  string(CONCAT YOTENNA_METAINFO_WEB
    "<url type=\"homepage\">${YOTENNA_HOMEPAGE_URL}</url>\n"
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The main window: the day list, the month grid and the timers</caption>\n"
    "      <caption xml:lang=\"ja\">メイン画面：その日の予定、月のカレンダー、タイマーの一覧</caption>\n"
    "      <image>${YOTENNA_HOMEPAGE_URL}/screenshots/form2-main.png</image>\n"
    "    </screenshot>\n"
    "    <screenshot>\n"
    "      <caption>An alarm that rings, with its picture</caption>\n"
    "      <caption xml:lang=\"ja\">時間になったタイマーのお知らせ</caption>\n"
    "      <image>${YOTENNA_HOMEPAGE_URL}/screenshots/form4-alarm.png</image>\n"
    "    </screenshot>\n"
    "    <screenshot>\n"
    "      <caption>The editor of schedule entries and timers</caption>\n"
    "      <caption xml:lang=\"ja\">予定とタイマーの編集画面</caption>\n"
    "      <image>${YOTENNA_HOMEPAGE_URL}/screenshots/form5-editor-entry.png</image>\n"
    "    </screenshot>\n"
    "  </screenshots>")
endif()
configure_file(resources/desktop/${YOTENNA_APP_ID}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/${YOTENNA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${YOTENNA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT yotenna)
# The manual pages and the changelog carry the version and the release date; Debian wants them
# compressed with gzip -9n (no name, no time stamp, so that two builds give the same bytes).
execute_process(COMMAND date -u -R -d "${YOTENNA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE YOTENNA_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
set(YOTENNA_PACKAGE_MAINTAINER "${maintainer}")
set(doc_dir ${CMAKE_CURRENT_BINARY_DIR}/doc)
function(yotenna_gzipped template output)
  configure_file(${template} ${doc_dir}/${output} @ONLY)
  execute_process(COMMAND gzip -9nf ${doc_dir}/${output} COMMAND_ERROR_IS_FATAL ANY)
endfunction()
yotenna_gzipped(resources/debian/changelog.in changelog)
yotenna_gzipped(resources/man/yotenna.1.in yotenna.1)
yotenna_gzipped(resources/man/yotenna.ja.1.in yotenna.ja.1)
install(FILES ${doc_dir}/yotenna.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT yotenna)
install(FILES ${doc_dir}/yotenna.ja.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1
        RENAME yotenna.1.gz COMPONENT yotenna)
install(FILES resources/debian/copyright ${doc_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/yotenna COMPONENT yotenna)

# What dh_strip removes besides the symbols: the compiler's notes (.comment, .note).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripNotes.cmake)

# A fully read-only GOT (relro with bindnow), as Debian links its packages.
target_link_options(yotenna PRIVATE -Wl,-z,relro -Wl,-z,now)
# Fortified libc calls, as Debian compiles its packages (dpkg-buildflags): only where the
# compiler optimises, which fortification needs, and not under the sanitizers.
if(NOT YOTENNA_SANITIZE AND NOT YOTENNA_FUZZ)
  foreach(target IN ITEMS yotenna_core yotenna_exchange yotenna_ui yotenna)
    target_compile_definitions(${target} PRIVATE
                               $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endforeach()
endif()
