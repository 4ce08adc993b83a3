# Debian packages by CPack from the install rules of packaging/:
#   tolva          the desk (component "desk")
#   tolva-memberd  the member-data service (component "memberd")
# Built by scripts/package. The version is the project's VERSION; Depends are
# computed from the binaries by dpkg-shlibdeps plus what Qt loads at run time
# (database drivers, platform plugins) and the fonts and translations.
set(TOLVA_MAINTAINER "TOLVA developers <tolva@example.com>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolva)
set(CPACK_PACKAGE_VENDOR "TOLVA")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${TOLVA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL desk memberd)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TOLVA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE tolva)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(_packaging "${PROJECT_SOURCE_DIR}/packaging")

set(CPACK_DEBIAN_DESK_PACKAGE_NAME tolva)
set(CPACK_DEBIAN_DESK_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_DESK_PACKAGE_DEPENDS
    "passwd, libqt6sql6-sqlite, libqt6sql6-psql, qt6-qpa-plugins, qt6-translations-l10n, fonts-wqy-microhei, fonts-arphic-ukai, fonts-arphic-uming")
set(CPACK_DEBIAN_DESK_PACKAGE_RECOMMENDS "libqt6sql6-odbc, unixodbc, tdsodbc")
set(CPACK_DEBIAN_DESK_PACKAGE_SUGGESTS "tolva-memberd, sqlite3")
set(CPACK_DEBIAN_DESK_PACKAGE_CONTROL_EXTRA "${_packaging}/desk/postinst")
set(CPACK_COMPONENT_DESK_DESCRIPTION
    "member-card desk for restaurant point-of-sale tills
The desk looks member cards up, issues cards, posts deposits and deductions
against point-of-sale bills and prints a summary of the card transactions.
It runs on touch-screen tills in Traditional Chinese, on an embedded SQLite
database or a database server, and reaches the member data of a chain
through the member-data service tolva-memberd.")

set(CPACK_DEBIAN_MEMBERD_PACKAGE_NAME tolva-memberd)
set(CPACK_DEBIAN_MEMBERD_PACKAGE_SECTION net)
set(CPACK_DEBIAN_MEMBERD_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_MEMBERD_PACKAGE_RECOMMENDS "sqlite3")
set(CPACK_DEBIAN_MEMBERD_PACKAGE_SUGGESTS "postgresql-client")
set(CPACK_DEBIAN_MEMBERD_PACKAGE_CONTROL_EXTRA
    "${_packaging}/memberd/conffiles;${_packaging}/memberd/postinst;${_packaging}/memberd/prerm;${_packaging}/memberd/postrm")
set(CPACK_COMPONENT_MEMBERD_DESCRIPTION
    "member-data service of the TOLVA member-card desks
memberd listens on TCP port 3501, accepts the desks' log-in and runs their
card look-ups and postings on the member database: SQLite for one store,
PostgreSQL for a chain, where several memberd serve one database. It runs
as a systemd service with a dynamic user and a hardened sandbox.")

include(CPack)
