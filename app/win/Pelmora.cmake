# The Windows program: one statically linked Pelmora.exe.
add_executable(Pelmora WIN32
  win/main.cpp win/pelmora_form.cpp win/website_dialog.cpp win/about_box.cpp
  win/tray_icon.cpp win/ui_support.cpp win/window_base.cpp
  res/pelmora.rc)
target_link_libraries(Pelmora PRIVATE pelmora_app_core pelmora_goldmine_win
  comctl32 shell32 gdi32 user32)
target_link_options(Pelmora PRIVATE -municode)
pelmora_warnings(Pelmora)

# The reporter's settings and the program's own symbols travel inside the exe.
include(${PROJECT_SOURCE_DIR}/cmake/OstrelSettings.cmake)
ostrel_embed_settings(Pelmora ${PROJECT_SOURCE_DIR}/app/pelmora.settings)
target_link_libraries(Pelmora PRIVATE ostrel)
include(${PROJECT_SOURCE_DIR}/cmake/OstrelSymbols.cmake)
ostrel_embed_symbols(Pelmora)
