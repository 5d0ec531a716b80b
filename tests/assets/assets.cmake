# tests: assets
quorbela_test(assets_test SOURCES assets/assets_test.cpp LIBS quorbela_assets)
target_compile_definitions(assets_test PRIVATE ASSETGEN_PATH="$<TARGET_FILE:assetgen>")
add_dependencies(assets_test assetgen)
quorbela_test(module_test SOURCES assets/module_test.cpp LIBS quorbela_assets quorbela_player)
quorbela_test(song_sound_test SOURCES assets/song_sound_test.cpp LIBS quorbela_assets xmplay_core)
