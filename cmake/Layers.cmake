# Layered include roots. Every include names its layer ("serial/ComPort.h"), and each layer's
# headers are reachable only through that layer's libraries and the libraries that link them:
# an include that reaches up the layers (protocol to app, tools to app) fails to compile.
# A layer's root is a folder of the build tree holding one link, named after the layer, to its
# sources.

# tq_layer_root(layer out): the include root of layer, made on first use.
function(tq_layer_root layer out)
  set(root ${PROJECT_BINARY_DIR}/layers/${layer})
  if(NOT IS_SYMLINK ${root}/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# tq_layer_headers(target layer): target and whatever links it see layer's headers.
function(tq_layer_headers target layer)
  tq_layer_root(${layer} root)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()
