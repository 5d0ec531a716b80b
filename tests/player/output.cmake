# tests: output
# control_test, output_test and xmplay_test are added once the loader and mixer link.
