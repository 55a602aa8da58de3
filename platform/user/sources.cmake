# Sources of the layer's user part.
# Dialogs (templates not read yet) and system parameters, for the saver host.
target_sources(win32layer PRIVATE user/dialog.cpp user/sysparams.cpp)
