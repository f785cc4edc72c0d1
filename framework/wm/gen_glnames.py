#!/usr/bin/env python3
"""Writes the GL and GLU name lists (X-macro include files) from the
system's GL headers (/usr/include/GL/gl.h, glext.h, glu.h).

Run it by hand when the lists change; the outputs are kept in the tree so a
build needs no Python:
  framework/wm/glnames.inc    the framework's GL table (1191 names)
  framework/wm/glunames.inc   the framework's GLU table (56 names)
  units/glunit_core.inc       the GL unit's variables (471 names)
  units/glunit_ext.inc        the GL unit's extension variables (913 names)
  units/gluunit_names.inc     the GLU unit's variables (44 names)
Each line is QGL_FN(return type, name, (parameters)); QGL_GROUP("label", n)
opens a group of n names.
"""
import os
import re
import sys

INC = '/usr/include/GL'
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def read_prototypes(path):
    """Returns (ordered sections {marker: [names]}, {name: (ret, params)})."""
    lines = open(path).read().split('\n')
    sections, protos, current = {}, {}, None
    i = 0
    while i < len(lines):
        line = lines[i]
        m = re.match(r'#ifndef (GL_\w+)$', line)
        if m and i + 1 < len(lines) and lines[i + 1].startswith('#define ' + m.group(1) + ' 1'):
            current = m.group(1)
            sections.setdefault(current, [])
        if line.startswith('GLAPI'):
            text = line
            while ';' not in text:
                i += 1
                text += ' ' + lines[i].strip()
            p = re.match(r'GLAPI\s+(.*?)\s*(?:GLAPIENTRY|APIENTRY)\s+(\w+)\s*\((.*)\)\s*;', text)
            if p:
                protos[p.group(2)] = (p.group(1).strip(), p.group(3).strip())
                if current:
                    sections[current].append(p.group(2))
        i += 1
    return sections, protos, lines


ext_sections, protos, _ = read_prototypes(INC + '/glext.h')
gl_sections, gl_protos, gl_lines = read_prototypes(INC + '/gl.h')
protos.update(gl_protos)
for _name, _names in gl_sections.items():
    if not ext_sections.get(_name):
        ext_sections[_name] = _names
_, glu_protos, _ = read_prototypes(INC + '/glu.h')


def gl_h_range(first, last):
    """Names of gl.h prototypes between two comment headings."""
    start = next(i for i, l in enumerate(gl_lines) if first in l)
    end = next(i for i, l in enumerate(gl_lines) if i > start and last in l)
    out, i = [], start
    while i < end:
        line = gl_lines[i]
        if line.startswith('GLAPI'):
            text = line
            while ';' not in text:
                i += 1
                text += ' ' + gl_lines[i].strip()
            out.append(re.match(r'GLAPI\s+.*?GLAPIENTRY\s+(\w+)', text).group(1))
        i += 1
    return out


GL11 = gl_h_range('Miscellaneous', ' * OpenGL 1.2')
GL12 = gl_h_range(' * OpenGL 1.2', ' * OpenGL 1.3')
GL13 = gl_h_range(' * OpenGL 1.3', ' * GL_ARB_multitexture (ARB')
assert (len(GL11), len(GL12), len(GL13)) == (336, 38, 46)
GL14 = [n for n in ext_sections['GL_VERSION_1_4'] if n not in ('glBlendColor', 'glBlendEquation')]
GL15 = ext_sections['GL_VERSION_1_5']
GL20 = [n for n in ext_sections['GL_VERSION_2_0'] if n != 'glBlendEquationSeparate']

# Entry points that today's headers no longer carry.
MANUAL = {
    'glSamplePass': ('void', 'GLenum pass'),
    'glSamplePassARB': ('void', 'GLenum pass'),
    'glFlushRenderAPPLE': ('void', 'void'),
    'glFinishRenderAPPLE': ('void', 'void'),
    'glSwapAPPLE': ('void', 'void'),
    'glPNTrianglesiATIX': ('void', 'GLenum pname, GLint param'),
    'glPNTrianglesfATIX': ('void', 'GLenum pname, GLfloat param'),
    'glDrawRangeElementsWIN': ('void', 'GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void *indices'),
    'glAddSwapHintRectWIN': ('void', 'GLint x, GLint y, GLsizei width, GLsizei height'),
    'wglGetProcAddress': ('QGL_PROC', 'const char *name'),
    'wglCopyContext': ('QGL_BOOL', 'QGL_HGLRC source, QGL_HGLRC target, unsigned int mask'),
    'wglCreateContext': ('QGL_HGLRC', 'QGL_HDC dc'),
    'wglCreateLayerContext': ('QGL_HGLRC', 'QGL_HDC dc, int layer'),
    'wglDeleteContext': ('QGL_BOOL', 'QGL_HGLRC context'),
    'wglMakeCurrent': ('QGL_BOOL', 'QGL_HDC dc, QGL_HGLRC context'),
    'wglShareLists': ('QGL_BOOL', 'QGL_HGLRC first, QGL_HGLRC second'),
    'wglGetCurrentContext': ('QGL_HGLRC', 'void'),
    'wglGetCurrentDC': ('QGL_HDC', 'void'),
    'wglSwapIntervalEXT': ('QGL_BOOL', 'int interval'),
    'wglGetSwapIntervalEXT': ('int', 'void'),
    'wglGetExtensionsStringARB': ('const char *', 'QGL_HDC dc'),
    'wglGetExtensionsStringEXT': ('const char *', 'void'),
}

# The fragment-shader set as it was offered under the EXT suffix.
FRAGMENT_EXT = [n[:-3] + 'EXT' for n in ext_sections['GL_ATI_fragment_shader']]
for n in FRAGMENT_EXT:
    MANUAL[n] = protos[n[:-3] + 'ATI']

# GL_ARB_vertex_program as first published also carried the program-object
# calls that today's header files under GL_ARB_fragment_program.
VERTEX_PROGRAM = ext_sections['GL_ARB_vertex_program'][:]
VERTEX_PROGRAM += ext_sections['GL_ARB_fragment_program']
assert len(VERTEX_PROGRAM) == 62

EXTRA = {
    'GL_APPLE_flush_render': ['glFlushRenderAPPLE', 'glFinishRenderAPPLE', 'glSwapAPPLE'],
    'GL_ATIX_pn_triangles': ['glPNTrianglesiATIX', 'glPNTrianglesfATIX'],
    'GL_WIN_draw_range_elements': ['glDrawRangeElementsWIN'],
    'GL_WIN_swap_hint': ['glAddSwapHintRectWIN'],
    'GL_ARB_vertex_program': VERTEX_PROGRAM,
    # The first edition had no query calls.
    'GL_EXT_pixel_transform': ext_sections['GL_EXT_pixel_transform'][:4],
}


def ext(name, count):
    names = EXTRA.get(name, ext_sections.get(name))
    if names is None:
        sys.exit('unknown extension ' + name)
    if len(names) != count:
        sys.exit('%s: %d names, expected %d' % (name, len(names), count))
    return names


def parse_groups(text):
    return [(m.group(1), int(m.group(2))) for m in re.finditer(r'(GL_\w+) \((\d+)\)', text)]


FRAMEWORK_EXT = """GL_ARB_multitexture (34), GL_ARB_transpose_matrix (4), GL_ARB_multisample (1), SAMPLEPASS, GL_ARB_texture_compression (7), GL_ARB_vertex_blend (10), GL_ARB_window_pos (16), GL_ARB_occlusion_query (8), GL_ARB_point_parameters (2), GL_ARB_vertex_program (62), GL_ARB_vertex_buffer_object (11), GL_ARB_draw_buffers (1), GL_EXT_blend_color (1), GL_EXT_polygon_offset (1), GL_EXT_texture3D (2), GL_EXT_subtexture (2), GL_EXT_copy_texture (5), GL_EXT_histogram (10), GL_EXT_convolution (13), GL_EXT_texture_object (6), GL_EXT_vertex_array (9), GL_EXT_blend_minmax (1), GL_EXT_paletted_texture (4), GL_EXT_index_material (1), GL_EXT_index_func (1), GL_EXT_compiled_vertex_array (2), GL_EXT_cull_vertex (2), GL_EXT_draw_range_elements (1), GL_EXT_light_texture (3), GL_EXT_pixel_transform (4), GL_EXT_secondary_color (17), GL_EXT_texture_perturb_normal (1), GL_EXT_multi_draw_arrays (2), GL_EXT_fog_coord (5), GL_EXT_coordinate_frame (22), GL_EXT_blend_func_separate (1), GL_EXT_vertex_weighting (3), GL_EXT_vertex_shader (42), FRAGMENTEXT, GL_EXT_multisample (2), GL_EXT_stencil_two_side (1), GL_EXT_depth_bounds_test (1), GL_EXT_blend_equation_separate (1), GL_APPLE_texture_range (2), GL_APPLE_vertex_array_range (3), GL_APPLE_vertex_array_object (4), GL_APPLE_fence (8), GL_APPLE_element_array (5), GL_APPLE_flush_render (3), GL_APPLE_vertex_program_evaluators (7), GL_ATI_pn_triangles (2), GL_ATI_blend_equation_separate (1), GL_ATI_separate_stencil (2), GL_ATIX_pn_triangles (2), GL_HP_image_transform (6), GL_IBM_multimode_draw_arrays (2), GL_IBM_vertex_array_lists (8), GL_INTEL_parallel_arrays (4), GL_MESA_resize_buffers (1), GL_NV_vertex_array_range (2), GL_NV_register_combiners (13), GL_NV_register_combiners2 (2), GL_NV_vertex_program (64), GL_NV_point_sprite (2), GL_PGI_misc_hints (1), GL_SGI_color_table (7), GL_SGIS_texture_filter4 (2), GL_SGIS_pixel_texture (6), GL_SGIS_texture4D (2), GL_SGIS_detail_texture (2), GL_SGIS_sharpen_texture (2), GL_SGIS_multisample (2), GL_SGIS_fog_function (2), GL_SGIS_texture_color_mask (1), GL_SGIX_pixel_texture (1), GL_SGIX_sprite (4), GL_SGIX_instruments (6), GL_SGIX_framezoom (1), GL_SGIX_tag_sample_buffer (1), GL_SGIX_polynomial_ffd (4), GL_SGIX_reference_plane (1), GL_SGIX_flush_raster (1), GL_SGIX_list_priority (6), GL_SGIX_fragment_lighting (18), GL_SGIX_async (6), GL_SGIX_igloo_interface (1), GL_SUN_global_alpha (8), GL_SUN_triangle_list (7), GL_SUN_vertex (40), GL_SUNX_constant_data (1), GL_3DFX_tbuffer (1)"""

UNIT_EXT = """GL_3DFX_tbuffer (1), GL_APPLE_element_array (5), GL_APPLE_fence (8), GL_APPLE_vertex_array_object (4), GL_APPLE_vertex_array_range (3), GL_ARB_matrix_palette (5), GL_ARB_multisample (1), GL_ARB_multitexture (34), GL_ARB_point_parameters (2), GL_ARB_texture_compression (7), GL_ARB_transpose_matrix (4), GL_ARB_vertex_blend (10), GL_ARB_vertex_buffer_object (11), GL_ARB_vertex_program (61), GL_ARB_window_pos (16), GL_ATI_draw_buffers (1), GL_ATI_element_array (3), GL_ATI_envmap_bumpmap (4), GL_ATI_fragment_shader (14), GL_ATI_map_object_buffer (2), GL_ATI_pn_triangles (2), GL_ATI_separate_stencil (2), GL_ATI_vertex_array_object (12), GL_ATI_vertex_attrib_array_object (3), GL_ATI_vertex_streams (45), GL_EXT_blend_color (1), GL_EXT_blend_func_separate (1), GL_EXT_blend_minmax (1), GL_EXT_color_subtable (2), GL_EXT_compiled_vertex_array (2), GL_EXT_convolution (13), GL_EXT_coordinate_frame (22), GL_EXT_copy_texture (5), GL_EXT_cull_vertex (2), GL_EXT_draw_range_elements (1), GL_EXT_fog_coord (5), GL_EXT_histogram (10), GL_EXT_index_func (1), GL_EXT_index_material (1), GL_EXT_light_texture (3), GL_EXT_multi_draw_arrays (2), GL_EXT_multisample (2), GL_EXT_paletted_texture (4), GL_EXT_pixel_transform (4), GL_EXT_point_parameters (2), GL_EXT_polygon_offset (1), GL_EXT_secondary_color (17), GL_EXT_stencil_two_side (1), GL_EXT_subtexture (2), GL_EXT_texture3D (2), GL_EXT_texture_object (6), GL_EXT_texture_perturb_normal (1), GL_EXT_vertex_array (9), GL_EXT_vertex_shader (42), GL_EXT_vertex_weighting (3), GL_HP_image_transform (6), GL_IBM_multimode_draw_arrays (2), GL_IBM_vertex_array_lists (8), GL_INGR_blend_func_separate (1), GL_INTEL_parallel_arrays (4), GL_MESA_resize_buffers (1), GL_MESA_window_pos (24), GL_NV_evaluators (9), GL_NV_fence (7), GL_NV_fragment_program (6), GL_NV_half_float (46), GL_NV_occlusion_query (7), GL_NV_pixel_data_range (2), GL_NV_point_sprite (2), GL_NV_primitive_restart (2), GL_NV_register_combiners (13), GL_NV_register_combiners2 (2), GL_NV_vertex_array_range (2), GL_NV_vertex_program (64), GL_PGI_misc_hints (1), GL_SGIS_detail_texture (2), GL_SGIS_fog_function (2), GL_SGIS_multisample (2), GL_SGIS_pixel_texture (6), GL_SGIS_point_parameters (2), GL_SGIS_sharpen_texture (2), GL_SGIS_texture4D (2), GL_SGIS_texture_color_mask (1), GL_SGIS_texture_filter4 (2), GL_SGIX_async (6), GL_SGIX_flush_raster (1), GL_SGIX_fragment_lighting (18), GL_SGIX_framezoom (1), GL_SGIX_igloo_interface (1), GL_SGIX_instruments (6), GL_SGIX_list_priority (6), GL_SGIX_pixel_texture (1), GL_SGIX_polynomial_ffd (4), GL_SGIX_reference_plane (1), GL_SGIX_sprite (4), GL_SGIX_tag_sample_buffer (1), GL_SGI_color_table (7), GL_SUNX_constant_data (1), GL_SUN_global_alpha (8), GL_SUN_mesh_array (1), GL_SUN_triangle_list (7), GL_SUN_vertex (40), WGL, GL_WIN_draw_range_elements (1), GL_WIN_swap_hint (1), GL_ARB_vertex_shader (4), GL_ARB_shader_objects (39), GL_ARB_occlusion_query (8)"""

WGL_CORE = ['wglDescribeLayerPlane', 'wglGetCurrentContext', 'wglGetCurrentDC', 'wglGetLayerPaletteEntries',
            'wglRealizeLayerPalette', 'wglSetLayerPaletteEntries', 'wglShareLists', 'wglSwapLayerBuffers',
            'wglSwapMultipleBuffers', 'wglUseFontBitmapsA', 'wglUseFontBitmapsW', 'wglUseFontOutlinesA',
            'wglUseFontOutlinesW', 'wglUseFontBitmaps', 'wglUseFontOutlines']
WGL_EXT = [
    ('WGL_ARB_buffer_region', ['wglCreateBufferRegionARB', 'wglDeleteBufferRegionARB', 'wglSaveBufferRegionARB', 'wglRestoreBufferRegionARB']),
    ('WGL_ARB_extensions_string', ['wglGetExtensionsStringARB']),
    ('WGL_ARB_make_current_read', ['wglMakeContextCurrentARB', 'wglGetCurrentReadDCARB']),
    ('WGL_ARB_pbuffer', ['wglCreatePbufferARB', 'wglGetPbufferDCARB', 'wglReleasePbufferDCARB', 'wglDestroyPbufferARB', 'wglQueryPbufferARB']),
    ('WGL_ARB_pixel_format', ['wglGetPixelFormatAttribivARB', 'wglGetPixelFormatAttribfvARB', 'wglChoosePixelFormatARB']),
    ('WGL_ARB_render_texture', ['wglBindTexImageARB', 'wglReleaseTexImageARB', 'wglSetPbufferAttribARB']),
    ('WGL_EXT_display_color_table', ['wglCreateDisplayColorTableEXT', 'wglLoadDisplayColorTableEXT', 'wglBindDisplayColorTableEXT', 'wglDestroyDisplayColorTableEXT']),
    ('WGL_EXT_extensions_string', ['wglGetExtensionsStringEXT']),
    ('WGL_EXT_make_current_read', ['wglMakeContextCurrentEXT', 'wglGetCurrentReadDCEXT']),
    ('WGL_EXT_pbuffer', ['wglCreatePbufferEXT', 'wglGetPbufferDCEXT', 'wglReleasePbufferDCEXT', 'wglDestroyPbufferEXT', 'wglQueryPbufferEXT']),
    ('WGL_EXT_pixel_format', ['wglGetPixelFormatAttribivEXT', 'wglGetPixelFormatAttribfvEXT', 'wglChoosePixelFormatEXT']),
    ('WGL_EXT_swap_control', ['wglSwapIntervalEXT', 'wglGetSwapIntervalEXT']),
    ('WGL_I3D_digital_video_control', ['wglGetDigitalVideoParametersI3D', 'wglSetDigitalVideoParametersI3D']),
    ('WGL_I3D_gamma', ['wglGetGammaTableParametersI3D', 'wglSetGammaTableParametersI3D', 'wglGetGammaTableI3D', 'wglSetGammaTableI3D']),
    ('WGL_I3D_genlock', ['wglEnableGenlockI3D', 'wglDisableGenlockI3D', 'wglIsEnabledGenlockI3D', 'wglGenlockSourceI3D', 'wglGetGenlockSourceI3D', 'wglGenlockSourceEdgeI3D', 'wglGetGenlockSourceEdgeI3D', 'wglGenlockSampleRateI3D', 'wglGetGenlockSampleRateI3D', 'wglGenlockSourceDelayI3D', 'wglGetGenlockSourceDelayI3D', 'wglQueryGenlockMaxSourceDelayI3D']),
    ('WGL_I3D_image_buffer', ['wglCreateImageBufferI3D', 'wglDestroyImageBufferI3D', 'wglAssociateImageBufferEventsI3D', 'wglReleaseImageBufferEventsI3D']),
    ('WGL_I3D_swap_frame_lock', ['wglEnableFrameLockI3D', 'wglDisableFrameLockI3D', 'wglIsEnabledFrameLockI3D', 'wglQueryFrameLockMasterI3D']),
    ('WGL_I3D_swap_frame_usage', ['wglGetFrameUsageI3D', 'wglBeginFrameTrackingI3D', 'wglEndFrameTrackingI3D', 'wglQueryFrameTrackingI3D']),
    ('WGL_NV_vertex_array_range', ['wglAllocateMemoryNV', 'wglFreeMemoryNV']),
    ('WGL_OML_sync_control', ['wglGetSyncValuesOML', 'wglGetMscRateOML', 'wglSwapBuffersMscOML', 'wglSwapLayerBuffersMscOML', 'wglWaitForMscOML', 'wglWaitForSbcOML']),
]

# In the GL unit one of GL_ARB_vertex_program's calls is listed under
# GL_ARB_vertex_shader, which shares it.
UNIT_VERTEX_SHADER = ext_sections['GL_ARB_vertex_shader'] + ['glGetVertexAttribPointervARB']
UNIT_VERTEX_PROGRAM = [n for n in VERTEX_PROGRAM if n != 'glGetVertexAttribPointervARB']


def framework_groups():
    groups = [('OpenGL 1.0 to 1.2', sorted(GL11 + GL12)), ('OpenGL 1.3', GL13 + ['glSamplePass']),
              ('OpenGL 1.4', GL14), ('OpenGL 1.5', GL15), ('OpenGL 2.0', GL20)]
    exts = []
    for part in FRAMEWORK_EXT.split(', '):
        if part == 'SAMPLEPASS':
            exts += ['glSamplePassARB']
        elif part == 'FRAGMENTEXT':
            exts += FRAGMENT_EXT
        else:
            m = re.match(r'(GL_\w+) \((\d+)\)', part)
            exts += ext(m.group(1), int(m.group(2)))
    groups.append(('extensions', exts))
    return groups


def unit_core_groups():
    blend = ['glBlendColor', 'glBlendEquation', 'glDrawRangeElements']
    three_d = ['glTexImage3D', 'glTexSubImage3D', 'glCopyTexSubImage3D']
    gl12 = blend + [n for n in GL12 if n not in blend + three_d] + three_d
    mtc = [n for n in GL13 if n.startswith('glMultiTexCoord')]
    tr = [n for n in GL13 if 'Transpose' in n]
    comp = [n for n in GL13 if 'Compressed' in n]
    gl13 = ['glActiveTexture', 'glClientActiveTexture'] + mtc + tr + ['glSampleCoverage'] + comp
    assert sorted(gl13) == sorted(GL13)
    fog = [n for n in GL14 if 'FogCoord' in n]
    multi = ['glMultiDrawArrays', 'glMultiDrawElements']
    point = [n for n in GL14 if n.startswith('glPointParameter')]
    sec = [n for n in GL14 if n.startswith('glSecondaryColor')]
    win = [n for n in GL14 if n.startswith('glWindowPos')]
    gl14 = ['glBlendFuncSeparate'] + fog + multi + point + sec + win
    assert sorted(gl14) == sorted(GL14)
    wgl = ['wglGetProcAddress', 'wglCopyContext', 'wglCreateContext', 'wglCreateLayerContext',
           'wglDeleteContext', 'wglMakeCurrent']
    return [('OpenGL 1.0 and 1.1', sorted(GL11)), ('OpenGL 1.2', gl12), ('OpenGL 1.3', gl13),
            ('OpenGL 1.4', gl14), ('WGL', wgl)]


def unit_ext_groups():
    groups = []
    for part in UNIT_EXT.split(', '):
        if part == 'WGL':
            groups.append(('WGL', WGL_CORE))
            for name, names in WGL_EXT:
                groups.append((name, names))
            continue
        m = re.match(r'(GL_\w+) \((\d+)\)', part)
        name, count = m.group(1), int(m.group(2))
        if name == 'GL_ARB_vertex_program':
            names = UNIT_VERTEX_PROGRAM
        elif name == 'GL_ARB_vertex_shader':
            names = UNIT_VERTEX_SHADER
        else:
            names = ext(name, count)
        assert len(names) == count, name
        groups.append((name, names))
    return groups


GLU56 = """gluBeginCurve gluBeginPolygon gluBeginSurface gluBeginTrim gluBuild1DMipmapLevels gluBuild1DMipmaps gluBuild2DMipmapLevels gluBuild2DMipmaps gluBuild3DMipmapLevels gluBuild3DMipmaps gluCheckExtension gluCylinder gluDeleteNurbsRenderer gluDeleteQuadric gluDeleteTess gluDisk gluEndCurve gluEndPolygon gluEndSurface gluEndTrim gluErrorString gluGetNurbsProperty gluGetString gluGetTessProperty gluLoadSamplingMatrices gluLookAt gluNextContour gluNurbsCallback gluNurbsCallbackData gluNurbsCallbackDataEXT gluNurbsCurve gluNurbsProperty gluNurbsSurface gluOrtho2D gluPartialDisk gluPerspective gluPickMatrix gluProject gluPwlCurve gluQuadricCallback gluQuadricDrawStyle gluQuadricNormals gluQuadricOrientation gluQuadricTexture gluScaleImage gluSphere gluTessBeginContour gluTessBeginPolygon gluTessCallback gluTessEndContour gluTessEndPolygon gluTessNormal gluTessProperty gluTessVertex gluUnProject gluUnProject4""".split()
GLU44 = """gluLookAt gluOrtho2D gluPerspective gluPickMatrix gluProject gluUnProject gluErrorString gluScaleImage gluBuild1DMipmaps gluBuild2DMipmaps gluNewQuadric gluDeleteQuadric gluQuadricDrawStyle gluQuadricOrientation gluQuadricNormals gluQuadricTexture gluQuadricCallback gluCylinder gluSphere gluDisk gluPartialDisk gluNewNurbsRenderer gluDeleteNurbsRenderer gluLoadSamplingMatrices gluNurbsProperty gluGetNurbsProperty gluBeginCurve gluEndCurve gluNurbsCurve gluBeginSurface gluEndSurface gluNurbsSurface gluBeginTrim gluEndTrim gluPwlCurve gluNurbsCallback gluNewTess gluTessCallback gluDeleteTess gluBeginPolygon gluEndPolygon gluNextContour gluTessVertex gluGetString""".split()
assert len(GLU56) == 56 and len(GLU44) == 44


def clean(text):
    text = re.sub(r'\s+', ' ', text).strip()
    text = text.replace('_GLUfuncptr', 'QGLU_CALLBACK').replace('GLvoid', 'void')
    return text


def entry(name, table):
    if name in MANUAL:
        ret, params = MANUAL[name]
    elif name in table:
        ret, params = table[name]
    else:
        ret, params = 'void', 'void'  # offered by name only
    return 'QGL_FN(%s, %s, (%s))' % (clean(ret), name, clean(params))


def write(path, title, groups, table, total):
    names = [n for _, g in groups for n in g]
    assert len(names) == total, (path, len(names))
    assert len(set(names)) == total, (path, 'duplicates')
    out = ['// %s: %d names. Generated by framework/wm/gen_glnames.py from the' % (title, total),
           "// system's GL headers; do not edit by hand.",
           '// QGL_GROUP(label, count) opens a group; QGL_FN(return type, name, (parameters)).']
    for label, group in groups:
        out.append('QGL_GROUP("%s", %d)' % (label, len(group)))
        out += [entry(n, table) for n in group]
    open(os.path.join(ROOT, path), 'w').write('\n'.join(out) + '\n')
    print(path, total)


write('framework/wm/glnames.inc', "The framework's GL table", framework_groups(), protos, 1191)
write('framework/wm/glunames.inc', "The framework's GLU table", [('GLU 1.3', GLU56)], glu_protos, 56)
write('units/glunit_core.inc', "The GL unit's entry points", unit_core_groups(), protos, 471)
write('units/glunit_ext.inc', "The GL unit's extension entry points", unit_ext_groups(), protos, 913)
write('units/gluunit_names.inc', "The GLU unit's entry points", [('GLU', GLU44)], glu_protos, 44)


def constants(path, sections=None):
    """#define lines of GL_ (or GLU_) constants, from the whole header or from
    the named extension sections only."""
    out, current = [], None
    lines = open(path).read().split('\n')
    for i, line in enumerate(lines):
        m = re.match(r'#ifndef (GL_\w+)$', line)
        if m and i + 1 < len(lines) and lines[i + 1].startswith('#define ' + m.group(1) + ' 1'):
            current = m.group(1)
        d = re.match(r'#define\s+((?:GL|GLU)_[A-Z0-9_x]+)\s+(\S+)\s*(?:/\*.*)?$', line)
        if not d or d.group(2) == '1' and d.group(1) == current:
            continue
        if sections is not None and current not in sections:
            continue
        out.append((d.group(1), d.group(2)))
    return out


CONST_SECTIONS = {'GL_VERSION_1_2', 'GL_VERSION_1_3', 'GL_VERSION_1_4', 'GL_VERSION_1_5', 'GL_VERSION_2_0',
                  'GL_ARB_multitexture', 'GL_ARB_texture_compression', 'GL_EXT_texture_compression_s3tc',
                  'GL_ARB_vertex_shader', 'GL_ARB_fragment_shader', 'GL_ARB_shader_objects',
                  'GL_ARB_vertex_program', 'GL_ARB_vertex_buffer_object', 'GL_EXT_texture_filter_anisotropic',
                  'GL_ARB_texture_cube_map', 'GL_EXT_texture_cube_map', 'GL_ARB_multisample',
                  'GL_ARB_shading_language_100', 'GL_EXT_bgra', 'GL_SGIS_generate_mipmap',
                  'GL_EXT_texture_edge_clamp', 'GL_ARB_texture_env_combine', 'GL_ARB_texture_env_dot3',
                  'GL_ARB_occlusion_query', 'GL_ARB_fragment_program', 'GL_EXT_framebuffer_object',
                  'GL_ARB_depth_texture', 'GL_ARB_shadow', 'GL_EXT_stencil_wrap', 'GL_ARB_point_sprite',
                  'GL_ARB_texture_border_clamp', 'GL_EXT_texture_env_combine', 'GL_ARB_texture_rectangle'}


def write_constants():
    seen, rows = set(), []
    for name, value in constants(INC + '/gl.h') + constants(INC + '/glext.h', CONST_SECTIONS) + \
            constants(INC + '/glu.h'):
        if name in seen or name.startswith('GL_VERSION_') or name.startswith('GLU_VERSION_'):
            continue
        if not re.match(r'^(0x[0-9A-Fa-f]+|[0-9]+|\(?~?0x[0-9A-Fa-f]+\)?|-?[0-9.]+)$', value):
            continue
        seen.add(name)
        rows.append('#define %s %s' % (name, value))
    text = ['// GL and GLU constants, with the very tokens of the system\'s headers so',
            '// that a file including both still compiles. Generated by',
            '// framework/wm/gen_glnames.py; do not edit by hand.',
            '#pragma once'] + rows
    open(os.path.join(ROOT, 'framework/wm/glconst.h'), 'w').write('\n'.join(text) + '\n')
    print('framework/wm/glconst.h', len(rows))


write_constants()
