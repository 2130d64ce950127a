# The vendor's addresses, one set a distributor can change at configure time
# (cmake -DQM_VENDOR_WEB_SITE=http://example.org/ ...). They end up in the generated header
# core/vendor_addresses.h.
set(QM_VENDOR_WEB_SITE "http://www.tarvenix.com/" CACHE STRING
    "The vendor's home page, shown in the About window and the console banner")
set(QM_VENDOR_PRODUCT_PAGE "http://www.tarvenix.com/pirelo/" CACHE STRING
    "The program's page on the vendor's site (Help > Visit the Program's Homepage, new versions)")
set(QM_VENDOR_CONVERTER_SEARCH "http://www.tarvenix.com/find/" CACHE STRING
    "The converter search; the two extensions are appended as from-to/")
set(QM_VENDOR_UNINSTALL_PAGE "http://www.tarvenix.com/pirelo/uninstall.html" CACHE STRING
    "The page the uninstall feedback window (-U) opens")
set(QM_VENDOR_SUPPORT_MAIL "support@tarvenix.com" CACHE STRING
    "The support e-mail address (About window, Help > Send Feedback)")
set(QM_UPDATE_URL "http://www.tarvenix.com/files/pirelo.dat" CACHE STRING
    "The update information file (plain HTTP); QUELLMARK_UPDATE_URL overrides it at run time")

configure_file(${PROJECT_SOURCE_DIR}/core/vendor_addresses.h.in
               ${PROJECT_BINARY_DIR}/generated/core/vendor_addresses.h @ONLY)
